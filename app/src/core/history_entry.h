#pragma once

#include <QDateTime>
#include <QString>

// One recognised change-log line, read back for the history strip.
struct HistoryEntry
{
    QString filename;
    QDateTime timestamp;
    int screenIndex = -1;
    QString triggerMode;
    QString adjustMode;

    // Newest first: an entry sorts before another when its time is later.
    // Entries whose time stamp could not be read sort after all dated ones.
    bool operator<(const HistoryEntry& other) const
    {
        if (timestamp.isValid() != other.timestamp.isValid())
            return timestamp.isValid();
        return timestamp > other.timestamp;
    }
};
