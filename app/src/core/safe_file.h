#pragma once

#include <QByteArray>
#include <QString>

// Reading the program's own files (logs, caches, side files) as a user's disk
// may hold them: only a regular file is read, never through a symbolic link,
// opened so that a FIFO or device can neither block nor feed endless bytes,
// and never more than the caller's cap.
namespace SafeFile {

enum class Status {
    // data holds the bytes asked for.
    Read,
    // Nothing at all is at path.
    Missing,
    // Something is there but is no regular file: a folder, link, FIFO, device.
    NotRegular,
    // It is there but cannot be opened or read (permissions, I/O error).
    Unreadable,
    // A regular file larger than the cap (whole reads only).
    TooLarge,
};

struct Result
{
    Status status = Status::Missing;
    QByteArray data;
    // The file's whole size when it was opened.
    qint64 size = 0;
};

// The whole file, when it holds at most maxBytes.
Result readAll(const QString& path, qint64 maxBytes);

// The first maxBytes of the file (all of it when smaller).
Result readHead(const QString& path, qint64 maxBytes);

// The last maxBytes of the file (all of it when smaller).
Result readTail(const QString& path, qint64 maxBytes);

// Whether something (a link included) is at path, and whether that is known:
// an unreadable folder leaves it unknown.
enum class Presence { Absent, Present, Unknown };
Presence presence(const QString& path);

// A short French text for a status, for diagnostic lines.
QString describe(Status status);

} // namespace SafeFile
