#pragma once

#include "library.h"

#include <QByteArray>
#include <QCache>
#include <QString>

// Small pictures for "/mini/": made on first request, kept on disk beside
// the library (and the most used ones in memory), remade when the source
// picture changes.
class ThumbnailCache
{
public:
    struct Result
    {
        QByteArray data;
        QByteArray mimeType;
        QString error;
        // Set when the thumbnail was made but could not be kept on disk.
        QString cacheError;
        bool ok() const { return error.isEmpty(); }
    };

    static constexpr int defaultWidth = 320;

    explicit ThumbnailCache(QString folder, int width = defaultWidth);

    Result thumbnail(const LibraryPicture& picture);
    QString folder() const { return m_folder; }

private:
    struct Entry
    {
        QByteArray data;
        QByteArray mimeType;
        QDateTime sourceModified;
        qint64 sourceSize = 0;
    };

    Result make(const LibraryPicture& picture, const QString& cachePath, const QByteArray& format) const;

    QString m_folder;
    int m_width;
    QCache<QString, Entry> m_memory;
};
