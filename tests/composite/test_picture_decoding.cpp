#include "test_main.h"
#include "test_pictures.h"

#include "core/wallpaper_builder.h"

#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>

using namespace TestPictures;

namespace {

const QColor red(220, 30, 30);
const QColor blue(30, 40, 210);
const QColor green(20, 200, 60);
const QColor yellow(230, 220, 40);

// Pictures are read only as far as the screen shows them (a part, at a
// halved size); the result must match fitting the whole decoded picture.
QImage referenceFit(const QImage& picture, const QSize& target, int mode)
{
    switch (mode) {
    case 1: {
        QImage canvas(target, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        const QImage scaled = picture.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&canvas);
        painter.drawImage((target.width() - scaled.width()) / 2, (target.height() - scaled.height()) / 2, scaled);
        return canvas;
    }
    case 2:
        return picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    case 4: {
        QImage canvas(target, QImage::Format_RGB32);
        QPainter painter(&canvas);
        painter.drawTiledPixmap(QRect(QPoint(), target), QPixmap::fromImage(picture));
        return canvas;
    }
    default: {
        const QImage scaled = picture.scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        return scaled.copy((scaled.width() - target.width()) / 2, (scaled.height() - target.height()) / 2,
                           target.width(), target.height());
    }
    }
}

// Structure at several scales, so that a misplaced part shows.
QImage detailed(const QSize& size)
{
    QImage image = gradient(size);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double u = double(x) / size.width();
            const double v = double(y) / size.height();
            line[x] =
                qRgb(qRed(line[x]), qGreen(line[x]), int(127.5 + 127.5 * std::sin(31.0 * u) * std::cos(23.0 * v)));
        }
    }
    return image;
}

QImage quadrants(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    const int halfWidth = size.width() / 2;
    const int halfHeight = size.height() / 2;
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = (y < halfHeight ? (x < halfWidth ? red : blue) : (x < halfWidth ? green : yellow)).rgb();
    }
    return image;
}

QImage composeOne(const QString& path, const QSize& target, int mode)
{
    const WallpaperBuilder builder({{QString(), QRect(QPoint(), target), 1.0, true}},
                                   QOperatingSystemVersion(QOperatingSystemVersion::Windows, 10));
    return builder.createCompositeImageFromMappings(builder.generateScreenMappings({{0, path}}),
                                                    QRect(QPoint(), target), mode);
}

} // namespace

class TestPictureDecoding : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

private Q_SLOTS:
    void matchesFittingTheWholePicture_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QSize>("target");
        QTest::addColumn<int>("mode");
        QTest::newRow("fill, quarter size, rows cut") << QSize(1600, 1200) << "jpg" << QSize(400, 225) << 0;
        QTest::newRow("fill, odd sizes") << QSize(1601, 1203) << "jpg" << QSize(399, 223) << 0;
        QTest::newRow("fill, columns cut") << QSize(3000, 1000) << "jpg" << QSize(320, 240) << 0;
        QTest::newRow("fill, portrait") << QSize(1200, 1600) << "jpg" << QSize(300, 300) << 0;
        QTest::newRow("fill, half size") << QSize(1920, 1080) << "jpg" << QSize(960, 540) << 0;
        QTest::newRow("fill, not a halving") << QSize(1500, 1000) << "jpg" << QSize(1000, 563) << 0;
        QTest::newRow("fill, enlarged") << QSize(200, 100) << "jpg" << QSize(400, 300) << 0;
        QTest::newRow("fill, bmp") << QSize(1601, 1203) << "bmp" << QSize(399, 223) << 0;
        QTest::newRow("fit") << QSize(1600, 1200) << "jpg" << QSize(400, 225) << 1;
        QTest::newRow("fit, bmp") << QSize(1600, 1200) << "bmp" << QSize(400, 225) << 1;
        QTest::newRow("span") << QSize(1600, 1200) << "jpg" << QSize(400, 225) << 2;
        QTest::newRow("tile") << QSize(100, 80) << "png" << QSize(250, 200) << 4;
        QTest::newRow("tile, larger picture") << QSize(700, 90) << "jpg" << QSize(250, 200) << 4;
    }

    void matchesFittingTheWholePicture()
    {
        QFETCH(QSize, picture);
        QFETCH(QString, format);
        QFETCH(QSize, target);
        QFETCH(int, mode);
        const QString path = save(m_folder.path(), QStringLiteral("p.") + format, detailed(picture), 95);
        const QImage whole(path);
        QVERIFY(!whole.isNull());
        const QImage composed = composeOne(path, target, mode);
        QCOMPARE(composed.size(), target);
        const double difference = meanDifference(composed, referenceFit(whole, target, mode));
        QVERIFY2(difference < 1.0, qPrintable(QString::number(difference)));
    }

    // JPEGs are decoded row by row where possible; other kinds of JPEG must
    // come out alike.
    void jpegKinds_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("grey") << "grey";
        QTest::newRow("progressive") << "progressive";
        QTest::newRow("cut short") << "cut short";
    }

    void jpegKinds()
    {
        QFETCH(QString, kind);
        const QString path = m_folder.filePath(QStringLiteral("kind.jpg"));
        QImage picture = detailed(QSize(1600, 1200));
        if (kind == QLatin1String("grey"))
            picture = picture.convertToFormat(QImage::Format_Grayscale8);
        QImageWriter writer(path);
        writer.setQuality(95);
        writer.setProgressiveScanWrite(kind == QLatin1String("progressive"));
        QVERIFY(writer.write(picture));
        const QImage whole(path);
        if (kind == QLatin1String("cut short")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(file.size() / 2));
        }

        const QSize target(400, 300);
        const QImage composed = composeOne(path, target, 0);
        QCOMPARE(composed.size(), target);
        const QImage reference = referenceFit(whole, target, 0);
        // Cut short, the rows that are there still show.
        const int rows = kind == QLatin1String("cut short") ? target.height() / 4 : target.height();
        const double difference =
            meanDifference(composed.copy(0, 0, target.width(), rows), reference.copy(0, 0, target.width(), rows));
        QVERIFY2(difference < 1.0, qPrintable(QString::number(difference)));
    }

    // Uncompressed BMPs are read in place; every layout must come out as Qt reads it.
    void uncompressedBitmaps_data()
    {
        QTest::addColumn<int>("bitsPerPixel");
        QTest::addColumn<bool>("topDown");
        QTest::addColumn<int>("width");
        QTest::newRow("24 bits, bottom-up") << 24 << false << 801;
        QTest::newRow("24 bits, top-down") << 24 << true << 802;
        QTest::newRow("32 bits, bottom-up") << 32 << false << 801;
        QTest::newRow("32 bits, top-down") << 32 << true << 800;
    }

    void uncompressedBitmaps()
    {
        QFETCH(int, bitsPerPixel);
        QFETCH(bool, topDown);
        QFETCH(int, width);
        const QImage picture = detailed(QSize(width, 500));
        const int height = picture.height();
        const int stride = (width * bitsPerPixel + 31) / 32 * 4;
        QByteArray bytes(54 + stride * height, '\0');
        uchar* data = reinterpret_cast<uchar*>(bytes.data());
        data[0] = 'B';
        data[1] = 'M';
        qToLittleEndian(quint32(bytes.size()), data + 2);
        qToLittleEndian(quint32(54), data + 10);
        qToLittleEndian(quint32(40), data + 14);
        qToLittleEndian(qint32(width), data + 18);
        qToLittleEndian(qint32(topDown ? -height : height), data + 22);
        qToLittleEndian(quint16(1), data + 26);
        qToLittleEndian(quint16(bitsPerPixel), data + 28);
        for (int y = 0; y < height; ++y) {
            uchar* row = data + 54 + qsizetype(topDown ? y : height - 1 - y) * stride;
            for (int x = 0; x < width; ++x) {
                const QRgb pixel = picture.pixel(x, y);
                uchar* at = row + x * bitsPerPixel / 8;
                at[0] = uchar(qBlue(pixel));
                at[1] = uchar(qGreen(pixel));
                at[2] = uchar(qRed(pixel));
            }
        }
        const QString path = m_folder.filePath(QStringLiteral("layout.bmp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        const QImage read(path);
        QCOMPARE(read.convertToFormat(QImage::Format_RGB32), picture);
        const QSize target(300, 200);
        const double difference = meanDifference(composeOne(path, target, 0), referenceFit(picture, target, 0));
        QVERIFY2(difference < 1.0, qPrintable(QString::number(difference)));

        // Cut short, the file is not read in place but left to Qt, which makes
        // what it can of it.
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.resize(bytes.size() - stride);
        file.close();
        const QImage shortened(path);
        QVERIFY(!shortened.isNull());
        const double shortDifference = meanDifference(composeOne(path, target, 0), referenceFit(shortened, target, 0));
        QVERIFY2(shortDifference < 1.0, qPrintable(QString::number(shortDifference)));
    }

    // A picture is shown the way its EXIF orientation says, whether it is read
    // whole or only in part at a reduced size.
    void exifOrientation_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("target");
        for (int orientation = 1; orientation <= 8; ++orientation) {
            QTest::addRow("%d, large screen", orientation) << orientation << QSize(800, 450);
            QTest::addRow("%d, small screen", orientation) << orientation << QSize(150, 100);
        }
    }

    void exifOrientation()
    {
        QFETCH(int, orientation);
        QFETCH(QSize, target);
        const QString path =
            saveJpegWithOrientation(m_folder.path(), QStringLiteral("o.jpg"), detailed(QSize(1600, 1000)), orientation);
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage shown = reader.read();
        QCOMPARE(shown.size(), orientation >= 5 ? QSize(1000, 1600) : QSize(1600, 1000));
        const QImage composed = composeOne(path, target, 0);
        const double difference = meanDifference(composed, referenceFit(shown, target, 0));
        QVERIFY2(difference < 1.0, qPrintable(QString::number(difference)));
    }

    // Orientation 6: the stored picture's left side is shown at the top.
    void quarterTurnShowsLeftAtTheTop_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::newRow("small") << QSize(200, 100);
        QTest::newRow("large") << QSize(1600, 800);
    }

    void quarterTurnShowsLeftAtTheTop()
    {
        QFETCH(QSize, stored);
        QImage halves(stored, QImage::Format_RGB32);
        halves.fill(blue);
        QPainter(&halves).fillRect(0, 0, stored.width() / 2, stored.height(), red);
        const QString path = saveJpegWithOrientation(m_folder.path(), QStringLiteral("turn.jpg"), halves, 6);
        const WallpaperBuilder builder({{QString(), QRect(0, 0, 50, 100), 1.0, true}},
                                       QOperatingSystemVersion(QOperatingSystemVersion::Windows, 10));
        QCOMPARE(builder.generateScreenMappings({{0, path}}).at(0).sourceRect, QRect(QPoint(), stored.transposed()));
        const QImage composed = composeOne(path, QSize(50, 100), 0);
        QVERIFY(near(composed.pixel(25, 20), red, 12));
        QVERIFY(near(composed.pixel(25, 80), blue, 12));
    }

    // Qt refuses by default to decode more than 128 MB; an 8000 x 6000 photo
    // needs 192 MB and still has to show.
    void picturesBeyondQtsAllocationLimit_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("target");
        QTest::newRow("jpeg, reduced") << "jpg" << 0 << QSize(1920, 1080);
        QTest::newRow("jpeg, full size") << "jpg" << 0 << QSize(8000, 4500);
        // A turned JPEG goes through Qt's reader, at full size past its limit.
        QTest::newRow("turned jpeg, reduced") << "jpg" << 3 << QSize(1920, 1080);
        QTest::newRow("turned jpeg, full size") << "jpg" << 3 << QSize(8000, 4500);
        QTest::newRow("bmp") << "bmp" << 0 << QSize(400, 300);
        QTest::newRow("png") << "png" << 0 << QSize(400, 300);
    }

    void picturesBeyondQtsAllocationLimit()
    {
        QFETCH(QString, format);
        QFETCH(int, orientation);
        QFETCH(QSize, target);
        const QString name = QStringLiteral("huge.") + format;
        // Stored upside down, shown the right way up.
        const QString path =
            orientation ? saveJpegWithOrientation(m_folder.path(), name,
                                                  quadrants(QSize(8000, 6000)).mirrored(true, true), orientation)
                        : save(m_folder.path(), name, quadrants(QSize(8000, 6000)));
        const int limit = QImageReader::allocationLimit();
        QVERIFY(limit > 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("exceeds the current allocation limit")));
        QVERIFY(QImageReader(path).read().isNull());

        const QImage composed = composeOne(path, target, 0);
        QCOMPARE(QImageReader::allocationLimit(), limit);
        const int w = target.width();
        const int h = target.height();
        QVERIFY(near(composed.pixel(w / 4, h / 4), red, 12));
        QVERIFY(near(composed.pixel(3 * w / 4, h / 4), blue, 12));
        QVERIFY(near(composed.pixel(w / 4, 3 * h / 4), green, 12));
        QVERIFY(near(composed.pixel(3 * w / 4, 3 * h / 4), yellow, 12));
        QFile::remove(path);
    }
};

VELMORA_TEST_MAIN(TestPictureDecoding)
#include "test_picture_decoding.moc"
