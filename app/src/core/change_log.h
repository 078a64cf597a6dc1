#pragma once

#include "history_entry.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <functional>
#include <optional>

// The four fields of one change-log line.
struct ChangeLogLine
{
    QString timestamp;
    QString fileName;
    QString trigger;
    QString adjustment;
};

// What the last line of a log says of the monitor's current picture.
struct LastLogEntry
{
    enum class State {
        // There is definitely no log.
        NoLog,
        // A log holding no line (empty, or line ends only).
        NoEntry,
        // fields hold the last line's.
        Entry,
        // A log is there but tells nothing for sure: not a regular file,
        // unreadable, or a last line that is not one this program writes.
        Unusable,
    };
    State state = State::NoLog;
    ChangeLogLine fields;
    // Why it is unusable, for diagnostic lines.
    QString reason;
};

// A monitor's change log: one UTF-8 text line per wallpaper change,
// "[yyyy-MM-dd hh:mm:ss] [file name] [trigger] [adjustment]". Lines are only
// ever appended.
class ChangeLog
{
public:
    // Larger logs are not read whole; a last line longer than maxLineBytes is
    // not one this program wrote.
    static constexpr qint64 maxReadBytes = 16 * 1024 * 1024;
    static constexpr qint64 maxLineBytes = 64 * 1024;

    static QString timestampFormat() { return QStringLiteral("yyyy-MM-dd hh:mm:ss"); }

    // The log's word for an adjustment mode (0 fill ... 4 tile); "Remplir"
    // for any other value.
    static QString adjustmentWord(int mode);

    // The line for one change, with its line feed.
    static QByteArray formatLine(const QDateTime& when, const QString& fileName, const QString& trigger,
                                 const QString& adjustment);

    // The first four-field match in the line. A line without one, or whose
    // file name could lead out of the monitor's folder, is not recognised.
    static std::optional<ChangeLogLine> parseLine(const QString& line);

    // Invalid when the text is not a time stamp of the log's format.
    static QDateTime parseTimestamp(const QString& text);
    // The same in the given zone (the local time when it is invalid).
    static QDateTime parseTimestamp(const QString& text, const QTimeZone& zone);

    // Appends a line, starting it on a line of its own when the file ends in a
    // cut-off line. False when the file cannot be opened or written.
    static bool append(const QString& path, const QByteArray& line);

    // The last line holding any character (white space counts), without its
    // line end; empty when there is none or the file cannot be read.
    static QString lastNonEmptyLine(const QString& path);

    // The state of the log's last non-empty line, telling a missing log from
    // one that cannot be read or understood.
    static LastLogEntry lastEntry(const QString& path);

    // Whether the file exists, can be read and holds more than white space.
    static bool hasContent(const QString& path);

    // Every recognised non-empty line as an entry of the given screen, in file
    // order. Empty when the file cannot be read.
    static QList<HistoryEntry> readEntries(const QString& path, int screenIndex);
    // The log's bytes; empty when the file cannot be read.
    static QByteArray readLog(const QString& path);
    // The entries of data's lines from begin on, appended to entries, until
    // the end or until keepGoing() says no (asked every few hundred lines).
    // Returns where the next unread line starts (data.size() at the end).
    static qsizetype parseEntries(const QByteArray& data, qsizetype begin, int screenIndex, const QTimeZone& zone,
                                  QList<HistoryEntry>& entries, const std::function<bool()>& keepGoing = {});
};
