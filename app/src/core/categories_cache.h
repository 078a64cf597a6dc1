#pragma once

#include <QJsonArray>
#include <QMap>
#include <QString>

class QImage;

// What the categories cache file holds: the catalogue as the service sent it,
// its time stamp and the thumbnail file name of each category shown so far.
struct CategoriesCacheData
{
    QJsonArray categories;
    qint64 timestamp = 0;
    QMap<QString, QString> thumbnails;
};

// The categories cache file: one indented JSON object with "categories",
// "timestamp" and "thumbnails".
class CategoriesCache
{
public:
    // Larger files are not ours: they are not read.
    static constexpr qint64 maxFileBytes = 16 * 1024 * 1024;

    // False when there is no readable plain file at path (data untouched).
    // A file that is not JSON reads as an empty catalogue.
    static bool read(const QString& path, CategoriesCacheData& data);
    // Writes the whole file or nothing: a crash mid-write leaves the old file.
    static bool write(const QString& path, const CategoriesCacheData& data);
};

enum class ImageFileWrite {
    // Whole or not at all, synced to disk: for pictures the desktop shows.
    Atomic,
    // Written in place, unsynced: for cache files, which are fetched again
    // when they no longer decode.
    Plain,
};

// Saves an image in the format named by the file's suffix; a symbolic link
// at path is replaced, never followed.
bool saveImageFile(const QImage& image, const QString& path, ImageFileWrite mode = ImageFileWrite::Atomic);
