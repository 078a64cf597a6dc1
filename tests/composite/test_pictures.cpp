#include "test_pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <cmath>
#include <cstdlib>

namespace TestPictures {

QImage flat(const QSize& size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage gradient(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double u = double(x) / size.width();
            const double v = double(y) / size.height();
            line[x] = qRgb(int(255 * u), int(255 * v), int(127.5 + 127.5 * std::sin(6.0 * u + 4.0 * v)));
        }
    }
    return image;
}

QString save(const QString& folder, const QString& name, const QImage& image, int quality)
{
    const QString path = folder + QLatin1Char('/') + name;
    QImageWriter writer(path);
    writer.setQuality(quality);
    if (!writer.write(image))
        qFatal("cannot write the test picture %s", qPrintable(path));
    return path;
}

QString saveJpegWithOrientation(const QString& folder, const QString& name, const QImage& stored, int orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!stored.save(&buffer, "JPEG", 95))
        qFatal("cannot encode the test picture");
    // APP1 "Exif" with a big-endian TIFF header and one IFD entry: 0x0112 orientation.
    const char exif[] = {'\xFF', '\xE1', 0, 34, 'E', 'x',  'i',  'f', 0, 0, 'M', 'M', 0, 42, 0,
                         0,      0,      8, 0,  1,   0x01, 0x12, 0,   3, 0, 0,   0,   1, 0,  char(orientation),
                         0,      0,      0, 0,  0,   0};
    jpeg.insert(2, exif, sizeof(exif));
    const QString path = folder + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
        qFatal("cannot write the test picture %s", qPrintable(path));
    return path;
}

bool near(QRgb actual, const QColor& expected, int tolerance)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance &&
           std::abs(qGreen(actual) - expected.green()) <= tolerance &&
           std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

double meanDifference(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    if (left.size() != right.size() || left.isNull())
        return 1e9;
    double sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const auto* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x) {
            sum += std::abs(qRed(l[x]) - qRed(r[x])) + std::abs(qGreen(l[x]) - qGreen(r[x])) +
                   std::abs(qBlue(l[x]) - qBlue(r[x]));
        }
    }
    return sum / (3.0 * left.width() * left.height());
}

} // namespace TestPictures
