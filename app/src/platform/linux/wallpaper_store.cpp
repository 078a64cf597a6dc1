#include "wallpaper_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryFile>

#include <utility>

WallpaperStore::WallpaperStore(QString directory) : m_directory(std::move(directory)) {}

void WallpaperStore::begin()
{
    m_current.clear();
}

QString WallpaperStore::addFile(const QString& suffix, const std::function<bool(QFile&)>& write)
{
    if (!QDir().mkpath(m_directory))
        return {};
    // A unique name, created on the spot so that no two changes share one.
    QTemporaryFile file(m_directory + QStringLiteral("/wallpaper-XXXXXX") + suffix);
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    const QString path = QFileInfo(file.fileName()).absoluteFilePath();
    if (!write(file) || !file.flush()) {
        file.remove();
        return {};
    }
    file.close();
    m_current.append(path);
    return path;
}

QString WallpaperStore::addCopy(const QString& sourcePath)
{
    QFile source(sourcePath);
    if (!QFileInfo(sourcePath).isFile() || !source.open(QIODevice::ReadOnly))
        return {};
    const QString suffix = QFileInfo(sourcePath).suffix();
    return addFile(suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix, [&source](QFile& target) {
        constexpr qint64 kChunk = 1 << 20;
        while (!source.atEnd()) {
            const QByteArray chunk = source.read(kChunk);
            if (chunk.isEmpty() || target.write(chunk) != chunk.size())
                return false;
        }
        return source.error() == QFileDevice::NoError;
    });
}

QString WallpaperStore::addImage(const QImage& image)
{
    return addFile(QStringLiteral(".bmp"), [&image](QFile& target) { return image.save(&target, "BMP"); });
}

void WallpaperStore::finish(bool taken)
{
    if (taken) {
        const QFileInfoList files = QDir(m_directory).entryInfoList(QDir::Files | QDir::Hidden);
        for (const QFileInfo& file : files) {
            if (!m_current.contains(file.absoluteFilePath()))
                QFile::remove(file.absoluteFilePath());
        }
    } else {
        for (const QString& path : std::as_const(m_current))
            QFile::remove(path);
    }
    m_current.clear();
}
