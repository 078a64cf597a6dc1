#include "test_main.h"
#include "test_pictures.h"

#include "core/bitmap_copy.h"
#include "core/bitmap_file.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
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
