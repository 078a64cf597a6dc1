#pragma once

#include <QDate>
#include <QImage>
#include <QSize>
#include <QString>

struct DemoOptions
{
    QSize pictureSize{2560, 1440};
    int days = 14;
    QDate today = QDate::currentDate();
    int jpegQuality = 88;
};

// A sample library drawn procedurally, so that a fresh machine has real,
// varied pictures without any network: several categories with names and
// thumbnails, pictures over the last days, each under a name of its own.
class DemoLibrary
{
public:
    enum class Style { Abstract, Mountains, Ocean, Space, Geometry };

    // True when the folder is missing or holds nothing but hidden entries.
    static bool isEmpty(const QString& root);

    // Draws the sample library into root, which must be empty. Each category
    // appears whole or not at all, so an interrupted run leaves an empty library.
    static bool generate(const QString& root, const DemoOptions& options, QString* error = nullptr);

    // One picture; the same seed always gives the same picture.
    static QImage paint(Style style, const QSize& size, quint32 seed);
};
