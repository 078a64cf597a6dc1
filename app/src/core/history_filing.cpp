#include "history_filing.h"

#include "core/change_log.h"
#include "core/file_housekeeping.h"
#include "core/history_merge.h"
#include "core/service_file_name.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

QString fileIntoScreenFolder(const QString& sourcePath, const QString& screenFolder, const QString& temporaryFolder)
{
    const QFileInfo source(sourcePath);
    if (!source.exists())
        return {};
    const QString fileName = source.fileName();
    if (!isSafeServiceFileName(fileName))
        return {};

    QDir().mkpath(screenFolder);
    const QString localPath = screenFolder + QLatin1Char('/') + fileName;

    // Already filed here (a history image reused for its own monitor): leave it be.
    const QFileInfo local(localPath);
    if (local.exists() && local.canonicalFilePath() == source.canonicalFilePath())
        return localPath;
    if (local.exists() || local.isSymLink())
        QFile::remove(localPath);

    // A download is moved out of the temporary folder (renamed where both lie
    // on one file system); anything else is copied and stays.
    const bool download = !temporaryFolder.isEmpty() && sourcePath.startsWith(temporaryFolder + QLatin1Char('/'));
    if (download && source.isFile() && !source.isSymLink() && QFile::rename(sourcePath, localPath))
        return localPath;
    if (!QFile::copy(sourcePath, localPath))
        return {};
    if (download)
        QFile::remove(sourcePath);
    return localPath;
}

QList<QString> fileChangedPictures(const QList<FilingRequest>& requests, const QString& temporaryFolder)
{
    QList<QString> filed;
    QMap<QString, QString> filedCopies;
    for (const FilingRequest& request : requests) {
        const QString source = filedCopies.value(request.sourcePath, request.sourcePath);
        const QString copy = fileIntoScreenFolder(source, request.screenFolder, temporaryFolder);
        filed.append(copy);
        if (copy.isEmpty())
            continue;
        if (!filedCopies.contains(request.sourcePath))
            filedCopies.insert(request.sourcePath, copy);
        if (!request.logLine.isEmpty())
            ChangeLog::append(request.logPath, request.logLine);
        FileHousekeeping::deleteAllFilesExcept(request.screenFolder, copy);
    }
    return filed;
}

QList<HistoryEntry> readMergedHistory(const QList<QString>& logPaths)
{
    QList<HistoryEntry> entries;
    for (qsizetype screen = 0; screen < logPaths.size(); ++screen)
        entries.append(ChangeLog::readEntries(logPaths[screen], int(screen)));
    return mergeHistoryEntries(entries);
}
