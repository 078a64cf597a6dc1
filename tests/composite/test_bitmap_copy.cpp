#include "test_main.h"
#include "test_pictures.h"

#include "core/bitmap_copy.h"
#include "core/bitmap_file.h"
#include "core/wallpaper_builder.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace TestPictures;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The picture as Qt shows it: decoded whole, its orientation applied.
QImage qtDecoded(const QByteArray& body)
{
    QBuffer buffer;
    buffer.setData(body);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest =
                std::max({largest, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

// Smooth colours with grain on top: detail that a careless reduction loses.
QImage grainy(const QSize& size)
{
    QImage image = gradient(size).convertToFormat(QImage::Format_RGB32);
    QRandomGenerator random(27);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int grain = int(random.bounded(41)) - 20;
            line[x] = qRgb(std::clamp(qRed(line[x]) + grain, 0, 255), std::clamp(qGreen(line[x]) + grain, 0, 255),
                           std::clamp(qBlue(line[x]) + grain, 0, 255));
        }
    }
    return image;
}

// The picture at path filling one screen, as the composite draws it.
QImage filled(const QString& path, const QSize& screen)
{
    const WallpaperBuilder builder({{QString(), QRect(QPoint(), screen), 1.0, true}},
                                   QOperatingSystemVersion(QOperatingSystemVersion::Windows, 10));
    return builder
        .createCompositeImageFromMappings(builder.generateScreenMappings({{0, path}}), QRect(QPoint(), screen), 0)
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestBitmapCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The copy shows what Qt shows, orientation included, for JPEGs (libjpeg-turbo)
    // and other formats (Qt), and the composite reads it in place.
    void copyMatchesQtsDecoding_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("orientation");
        for (int orientation = 1; orientation <= 8; ++orientation)
            QTest::addRow("JPEG, orientation %d", orientation) << QStringLiteral("p.jpg") << orientation;
        QTest::newRow("PNG") << QStringLiteral("p.png") << 0;
    }

    void copyMatchesQtsDecoding()
    {
        QFETCH(QString, name);
        QFETCH(int, orientation);
        const QImage stored = gradient(QSize(301, 157));
        const QString source = orientation > 0 ? saveJpegWithOrientation(m_folder.path(), name, stored, orientation)
                                               : save(m_folder.path(), name, stored);
        const QByteArray body = fileBytes(source);
        const QString bmp = m_folder.filePath(QStringLiteral("copy.bmp"));
        QCOMPARE(writeBitmapCopy(body, bmp), BitmapCopyResult::Written);

        MappedBitmap mapped;
        QVERIFY(mapped.open(bmp));
        const QImage copy = QImage(bmp).convertToFormat(QImage::Format_RGB32);
        const QImage expected = qtDecoded(body);
        QCOMPARE(copy.size(), expected.size());
        QVERIFY(largestDifference(copy, expected) <= 1);
    }

    // Neither a cut-off picture nor an error page gets a copy; a 48-megapixel photo does.
    void whatIsAPicture()
    {
        const QByteArray jpeg =
            fileBytes(save(m_folder.path(), QStringLiteral("big.jpg"), flat(QSize(8000, 6000), Qt::red)));
        const QString bmp = m_folder.filePath(QStringLiteral("big.bmp"));
        QCOMPARE(writeBitmapCopy(jpeg.left(jpeg.size() / 2), bmp), BitmapCopyResult::NotAPicture);
        QCOMPARE(writeBitmapCopy("<html>502</html>", bmp), BitmapCopyResult::NotAPicture);
        QVERIFY(!QFile::exists(bmp));
        QCOMPARE(writeBitmapCopy(jpeg, bmp), BitmapCopyResult::Written);
        {
            // Released before the copy is replaced: Windows replaces no mapped file.
            MappedBitmap mapped;
            QVERIFY(mapped.open(bmp));
            QCOMPARE(mapped.size(), QSize(8000, 6000));
        }
        const QByteArray png =
            fileBytes(save(m_folder.path(), QStringLiteral("big.png"), flat(QSize(8000, 6000), Qt::red)));
        QCOMPARE(writeBitmapCopy(png, bmp), BitmapCopyResult::Written);
    }

    // A photo at least twice its screen is copied at a DCT-reduced size that
    // still covers the screen, turned or not, and the screen then shows what
    // the full copy shows within the difference measured for it (at grain of
    // +-20, largest channel difference 13 and mean 1.9 at 1/2, less below).
    void reducedCopyShowsTheSame_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("copySize");
        QTest::newRow("1/2") << 1 << QSize(700, 500) << QSize(800, 600);
        QTest::newRow("1/4, turned") << 6 << QSize(300, 400) << QSize(300, 400);
        QTest::newRow("1/8, a screen of another shape") << 1 << QSize(100, 40) << QSize(200, 150);
        QTest::newRow("under twice: whole") << 1 << QSize(900, 700) << QSize(1600, 1200);
        QTest::newRow("no screen: whole") << 1 << QSize() << QSize(1600, 1200);
    }

    void reducedCopyShowsTheSame()
    {
        QFETCH(int, orientation);
        QFETCH(QSize, screen);
        QFETCH(QSize, copySize);
        const QString source = saveJpegWithOrientation(m_folder.path(), QStringLiteral("photo.jpg"),
                                                       grainy(QSize(1600, 1200)), orientation);
        const QString full = m_folder.filePath(QStringLiteral("full.bmp"));
        const QString reduced = m_folder.filePath(QStringLiteral("reduced.bmp"));
        QCOMPARE(writeBitmapCopyOfFile(source, full), BitmapCopyResult::Written);
        QCOMPARE(writeBitmapCopyOfFile(source, reduced, screen), BitmapCopyResult::Written);
        QCOMPARE(QImageReader(reduced).size(), copySize);
        if (screen.isEmpty())
            return;
        const QImage expected = filled(full, screen);
        const QImage shown = filled(reduced, screen);
        QCOMPARE(shown.size(), screen);
        QVERIFY(largestDifference(shown, expected) <= 16);
        QVERIFY(meanDifference(shown, expected) <= 2.5);
    }

    // Rows go out in bands, the last one short; the file replaces an older
    // one only once whole.
    void writerReplacesOnlyWhenWhole()
    {
        const QString path = m_folder.filePath(QStringLiteral("w.bmp"));
        const QImage first = gradient(QSize(2001, 150));
        QVERIFY(writeBitmap(first, path));
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), first);

        BitmapWriter writer;
        QVERIFY(writer.open(path, first.size()));
        for (int y = 0; y < first.height() - 1; ++y)
            QVERIFY(writer.nextRow());
        QVERIFY(!writer.commit());
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), first);

        const QImage second = first.mirrored(true, true).convertToFormat(QImage::Format_BGR888);
        QVERIFY(writeBitmap(second, path));
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), second.convertToFormat(QImage::Format_RGB32));
        QVERIFY(!QFile::exists(path + QStringLiteral(".partial.bmp")));
    }

private:
    QTemporaryDir m_folder;
};

VELMORA_TEST_MAIN(TestBitmapCopy)
#include "test_bitmap_copy.moc"
