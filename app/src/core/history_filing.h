#pragma once

#include "history_entry.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One monitor's picture of a change, with every path worked out beforehand,
// so that filing needs no window and can run off the GUI thread.
struct FilingRequest
{
    int screenIndex = -1;
    QString sourcePath;
    // The monitor's folder in the wallpapers directory, and its change log.
    QString screenFolder;
    QString logPath;
    // The log line for the change, with its line feed.
    QByteArray logLine;
};

// Puts a copy of sourcePath into screenFolder (created if missing) under its
// own name, which must be a safe file name. A picture from temporaryFolder is
// moved; anything else stays. A copy already in place is kept. Returns the
// filed copy, or "" when nothing could be filed.
QString fileIntoScreenFolder(const QString& sourcePath, const QString& screenFolder, const QString& temporaryFolder);

// Files the requests in order: each picture into its monitor's folder, its
// line appended to the monitor's log, the folder's older files removed. Two
// requests of one download file the first one's copy, since the first moves
// it away. Returns, per request, the filed copy or "". Safe on any thread.
QList<QString> fileChangedPictures(const QList<FilingRequest>& requests, const QString& temporaryFolder);

// The change logs of every monitor (screen index = position) as the history strip shows them.
QList<HistoryEntry> readMergedHistory(const QList<QString>& logPaths);
