#include "file_housekeeping.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void FileHousekeeping::deleteAllFilesExcept(const QString& directory, const QString& keepPath)
{
    QDir dir(directory);
    if (!dir.exists())
        return;
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Unsorted);
    for (const QFileInfo& file : files) {
        if (file.absoluteFilePath() != keepPath)
            QFile::remove(file.absoluteFilePath());
    }
}

void FileHousekeeping::deleteImagesExcept(const QString& directory, const QString& keepName)
{
    QDir dir(directory);
    if (!dir.exists())
        return;
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.bmp"), QStringLiteral("*.png")}, QDir::Files, QDir::Unsorted);
    for (const QFileInfo& file : files) {
        if (file.fileName() != keepName)
            QFile::remove(file.absoluteFilePath());
    }
}

void FileHousekeeping::keepNewestFiles(const QString& directory, int maxFiles)
{
    QDir dir(directory);
    if (!dir.exists())
        return;
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Time);
    for (qsizetype i = maxFiles; i < files.size(); ++i)
        QFile::remove(files[i].absoluteFilePath());
}

void FileHousekeeping::trimToSize(const QString& directory, qint64 maxBytes,
                                  const std::function<bool(const QString&)>& isKept)
{
    QDir dir(directory);
    if (!dir.exists())
        return;
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
