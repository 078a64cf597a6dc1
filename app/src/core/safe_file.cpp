#include "safe_file.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace SafeFile {

namespace {

enum class Part { Whole, Head, Tail };

#ifdef Q_OS_UNIX

Status statusOfErrno(int error)
{
    switch (error) {
    case ENOENT:
        return Status::Missing;
    case ELOOP: // O_NOFOLLOW met a link
    case ENXIO: // a socket, or a FIFO's writer side
        return Status::NotRegular;
    default:
        return Status::Unreadable;
    }
}

Result read(const QString& path, qint64 maxBytes, Part part)
{
    Result result;
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        result.status = statusOfErrno(errno);
        return result;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        result.status = Status::Unreadable;
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        result.status = Status::NotRegular;
        return result;
    }
    result.size = qint64(info.st_size);
    qint64 offset = 0;
    if (result.size > maxBytes) {
        if (part == Part::Whole) {
            ::close(fd);
            result.status = Status::TooLarge;
            return result;
        }
        if (part == Part::Tail)
            offset = result.size - maxBytes;
    }
    // The file may grow while it is read: never more than the cap.
    const qint64 wanted = qMin(result.size - offset, maxBytes);
    result.data.resize(wanted);
    qint64 done = 0;
    while (done < wanted) {
        const ssize_t n = ::pread(fd, result.data.data() + done, size_t(wanted - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return Result{Status::Unreadable, {}, result.size};
        }
        if (n == 0)
            break;
        done += n;
    }
    ::close(fd);
    result.data.truncate(done);
    result.status = Status::Read;
    return result;
}

#else

// Windows has no FIFOs or devices in a user's folders; links and folders are
// refused before the open.
Result read(const QString& path, qint64 maxBytes, Part part)
{
    Result result;
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isFile())) {
        result.status = Status::NotRegular;
        return result;
    }
    if (!info.exists()) {
        result.status = Status::Missing;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = Status::Unreadable;
        return result;
    }
    result.size = file.size();
    if (result.size > maxBytes) {
        if (part == Part::Whole)
            return Result{Status::TooLarge, {}, result.size};
        if (part == Part::Tail)
            file.seek(result.size - maxBytes);
    }
    result.data = file.read(maxBytes);
    result.status = file.error() == QFileDevice::NoError ? Status::Read : Status::Unreadable;
    return result;
}

#endif

} // namespace

Result readAll(const QString& path, qint64 maxBytes)
{
    return read(path, maxBytes, Part::Whole);
}

Result readHead(const QString& path, qint64 maxBytes)
{
    return read(path, maxBytes, Part::Head);
}

Result readTail(const QString& path, qint64 maxBytes)
{
    return read(path, maxBytes, Part::Tail);
}

Presence presence(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0)
        return Presence::Present;
    return errno == ENOENT ? Presence::Absent : Presence::Unknown;
#else
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return Presence::Present;
    return QFileInfo(info.absolutePath()).isReadable() ? Presence::Absent : Presence::Unknown;
#endif
}

QString describe(Status status)
{
    switch (status) {
    case Status::Read:
        return QStringLiteral("lu");
    case Status::Missing:
        return QStringLiteral("absent");
    case Status::NotRegular:
        return QStringLiteral("pas un fichier ordinaire");
    case Status::Unreadable:
        return QStringLiteral("illisible");
    case Status::TooLarge:
        return QStringLiteral("trop volumineux");
    }
    return {};
}

} // namespace SafeFile
