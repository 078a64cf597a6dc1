#include "change_log.h"

#include "core/change_words.h"

#include "safe_file.h"
#include "service_file_name.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace {

// One line of the log buffer, without "\n" or "\r\n".
QByteArrayView lineAt(const QByteArray& data, qsizetype begin, qsizetype end)
{
    QByteArrayView line(data.constData() + begin, end - begin);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool readAll(const QString& path, QByteArray& data)
{
    SafeFile::Result file = SafeFile::readAll(path, ChangeLog::maxReadBytes);
    data = std::move(file.data);
    return file.status == SafeFile::Status::Read;
}

struct LastLine
{
    SafeFile::Status status = SafeFile::Status::Missing;
    // Set when the tail read ends inside the line: its start lies further back.
    bool cut = false;
    QByteArray line;
};

// Only the end of a log is read for its last line: every line this program
// writes is far shorter than the tail.
LastLine lastLineOf(const QString& path)
{
    LastLine result;
    const SafeFile::Result file = SafeFile::readTail(path, ChangeLog::maxLineBytes);
    result.status = file.status;
    if (file.status != SafeFile::Status::Read)
        return result;
    const QByteArray& data = file.data;
    const bool startsMidFile = file.size > data.size();
    qsizetype end = data.size();
    while (end > 0) {
        const qsizetype newline = data.lastIndexOf('\n', end - 1);
        const QByteArrayView line = lineAt(data, newline + 1, end);
        if (!line.isEmpty()) {
            result.cut = newline < 0 && startsMidFile;
            result.line = line.toByteArray();
            return result;
        }
        if (newline < 0)
            break;
        end = newline;
    }
    // Blank lines to the start of the tail, and more before it.
    result.cut = startsMidFile;
    return result;
}

} // namespace

QString ChangeLog::adjustmentWord(int mode)
{
    return ::adjustmentWord(adjustmentFromIndex(mode));
}

QByteArray ChangeLog::formatLine(const QDateTime& when, const QString& fileName, const QString& trigger,
                                 const QString& adjustment)
{
    const QString line = QLatin1Char('[') + when.toString(timestampFormat()) + QStringLiteral("] [") + fileName +
                         QStringLiteral("] [") + trigger + QStringLiteral("] [") + adjustment + QStringLiteral("]\n");
    return line.toUtf8();
}

std::optional<ChangeLogLine> ChangeLog::parseLine(const QString& line)
{
    static const QRegularExpression pattern(QStringLiteral(R"(\[([^\]]+)\] \[([^\]]+)\] \[([^\]]+)\] \[([^\]]+)\])"));
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    ChangeLogLine result{match.captured(1), match.captured(2), match.captured(3), match.captured(4)};
    if (!isSafeServiceFileName(result.fileName))
        return std::nullopt;
    return result;
}

QDateTime ChangeLog::parseTimestamp(const QString& text)
{
    return parseTimestamp(text, QTimeZone());
}

QDateTime ChangeLog::parseTimestamp(const QString& text, const QTimeZone& zone)
{
    // The format parser is slow enough to dominate reading a long log. Time
    // stamps as this program writes them take the short road, which gives the
    // same result; anything else goes through the parser.
    static constexpr char shape[] = "dddd-dd-dd dd:dd:dd";
    if (text.size() != qsizetype(sizeof(shape) - 1))
        return QDateTime::fromString(text, timestampFormat());
    int digits[14];
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (shape[i] == 'd') {
            if (c < '0' || c > '9')
                return QDateTime::fromString(text, timestampFormat());
            digits[count++] = c - '0';
        } else if (c != char16_t(shape[i])) {
            return QDateTime::fromString(text, timestampFormat());
        }
    }
    const auto number = [&digits](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i)
            value = value * 10 + digits[i];
        return value;
    };
    const QDate date(number(0, 4), number(4, 2), number(6, 2));
    const QTime time(number(8, 2), number(10, 2), number(12, 2));
    if (!date.isValid() || !time.isValid())
        return {};
    // The C library's local time re-reads the zone file on every conversion; a
    // zone read once serves a whole log.
    return zone.isValid() ? QDateTime(date, time, zone) : QDateTime(date, time);
}

bool ChangeLog::append(const QString& path, const QByteArray& line)
{
    // A line cut off by a crash must not swallow the next one. Anything but a
    // regular file (a FIFO would block the open for writing) is left alone.
    const SafeFile::Result existing = SafeFile::readTail(path, 1);
    if (existing.status != SafeFile::Status::Read && existing.status != SafeFile::Status::Missing)
        return false;
    const bool needsLineBreak = !existing.data.isEmpty() && existing.data.back() != '\n';
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray data = needsLineBreak ? QByteArray("\n") + line : line;
    const bool written = file.write(data) == data.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

QString ChangeLog::lastNonEmptyLine(const QString& path)
{
    const LastLine last = lastLineOf(path);
    return last.cut ? QString() : QString::fromUtf8(last.line);
}

LastLogEntry ChangeLog::lastEntry(const QString& path)
{
    using State = LastLogEntry::State;
    const LastLine last = lastLineOf(path);
    switch (last.status) {
    case SafeFile::Status::Read:
        break;
    case SafeFile::Status::Missing:
        // Only when the folder could be searched is the log known to be absent.
        if (SafeFile::presence(path) == SafeFile::Presence::Absent)
            return {State::NoLog, {}, {}};
        return {State::Unusable, {}, SafeFile::describe(SafeFile::Status::Unreadable)};
    default:
        return {State::Unusable, {}, SafeFile::describe(last.status)};
    }
    if (last.cut)
        return {State::Unusable, {}, QStringLiteral("dernière ligne trop longue")};
    if (last.line.isEmpty())
        return {State::NoEntry, {}, {}};
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString line = decoder(last.line);
    if (decoder.hasError())
        return {State::Unusable, {}, QStringLiteral("dernière ligne pas en UTF-8")};
    const std::optional<ChangeLogLine> fields = parseLine(line);
    if (!fields)
        return {State::Unusable, {}, QStringLiteral("dernière ligne non reconnue")};
    return {State::Entry, *fields, {}};
}

bool ChangeLog::hasContent(const QString& path)
{
    // Asked for every monitor on the window's thread at start: a log that ends
    // in a written line is answered from its tail, without reading megabytes.
    // An ASCII byte other than white space is a character other than white
    // space wherever it stands in UTF-8; anything else takes the whole read.
    const SafeFile::Result tail = SafeFile::readTail(path, maxLineBytes);
    if (tail.status == SafeFile::Status::Read && tail.size <= maxReadBytes &&
        std::any_of(tail.data.cbegin(), tail.data.cend(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x80 && byte != ' ' && (byte < '\t' || byte > '\r');
        }))
        return true;
    QByteArray data;
    if (!readAll(path, data))
        return false;
    return !QString::fromUtf8(data).trimmed().isEmpty();
}

QList<HistoryEntry> ChangeLog::readEntries(const QString& path, int screenIndex)
{
    QList<HistoryEntry> entries;
    QByteArray data;
    if (!readAll(path, data))
        return entries;
    parseEntries(data, 0, screenIndex, QTimeZone::systemTimeZone(), entries);
    return entries;
}

QByteArray ChangeLog::readLog(const QString& path)
{
    QByteArray data;
    return readAll(path, data) ? data : QByteArray();
}

qsizetype ChangeLog::parseEntries(const QByteArray& data, qsizetype begin, int screenIndex, const QTimeZone& zone,
                                  QList<HistoryEntry>& entries, const std::function<bool()>& keepGoing)
{
    constexpr int linesBetweenAsks = 256;
    int lines = 0;
    while (begin < data.size()) {
        if (keepGoing && ++lines % linesBetweenAsks == 0 && !keepGoing())
            return begin;
        qsizetype newline = data.indexOf('\n', begin);
        const qsizetype end = newline < 0 ? data.size() : newline;
        const QByteArrayView line = lineAt(data, begin, end);
        begin = end + 1;
        if (line.isEmpty())
            continue;
        const std::optional<ChangeLogLine> fields = parseLine(QString::fromUtf8(line));
        if (!fields)
            continue;
        entries.append(HistoryEntry{fields->fileName, parseTimestamp(fields->timestamp, zone), screenIndex,
                                    fields->trigger, fields->adjustment});
    }
    return data.size();
}
