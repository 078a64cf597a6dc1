#include "file_housekeeping.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A link in place of one of our folders leads elsewhere: never cleaned through.
bool isOwnFolder(const QString& directory)
{
    const QFileInfo info(directory);
    return !info.isSymLink() && info.isDir();
}

} // namespace

void FileHousekeeping::removeFolder(const QString& directory)
{
    const QFileInfo info(directory);
    if (info.isSymLink())
        QFile::remove(directory);
    else if (info.isDir())
        QDir(directory).removeRecursively();
}

void FileHousekeeping::deleteAllFilesExcept(const QString& directory, const QString& keepPath)
{
    if (!isOwnFolder(directory))
        return;
    QDir dir(directory);
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Unsorted);
    for (const QFileInfo& file : files) {
        if (file.absoluteFilePath() != keepPath)
            QFile::remove(file.absoluteFilePath());
    }
}

void FileHousekeeping::deleteImagesExcept(const QString& directory, const QString& keepName)
{
    if (!isOwnFolder(directory))
        return;
    QDir dir(directory);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.bmp"), QStringLiteral("*.png")}, QDir::Files, QDir::Unsorted);
    for (const QFileInfo& file : files) {
        if (file.fileName() != keepName)
            QFile::remove(file.absoluteFilePath());
    }
}

void FileHousekeeping::keepNewestFiles(const QString& directory, int maxFiles)
{
    if (!isOwnFolder(directory))
        return;
    QDir dir(directory);
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Time);
    for (qsizetype i = maxFiles; i < files.size(); ++i)
        QFile::remove(files[i].absoluteFilePath());
}

void FileHousekeeping::trimToSize(const QString& directory, qint64 maxBytes,
                                  const std::function<bool(const QString&)>& isKept)
{
    if (!isOwnFolder(directory))
        return;
    QDir dir(directory);
    QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Time);
    qint64 total = 0;
    for (const QFileInfo& file : files)
        total += file.size();
    while (total > maxBytes && !files.isEmpty()) {
        const QFileInfo oldest = files.takeLast();
        const QString path = oldest.absoluteFilePath();
        if (isKept && isKept(path))
            continue;
        total -= oldest.size();
        QFile::remove(path);
    }
}
