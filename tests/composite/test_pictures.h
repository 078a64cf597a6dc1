#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

// Pictures on disk for the composite tests.
namespace TestPictures {

QImage flat(const QSize& size, const QColor& colour);
// Smooth, position-dependent colours: any misplacement shows as a difference.
QImage gradient(const QSize& size);

// Saves image under folder/name in the format the suffix names; returns the path.
QString save(const QString& folder, const QString& name, const QImage& image, int quality = -1);
// Saves a JPEG carrying an EXIF orientation tag (1 to 8).
QString saveJpegWithOrientation(const QString& folder, const QString& name, const QImage& stored, int orientation);

bool near(QRgb actual, const QColor& expected, int tolerance = 0);
// Mean absolute difference per channel of two images of one size.
double meanDifference(const QImage& a, const QImage& b);

} // namespace TestPictures
