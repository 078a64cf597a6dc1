#include "safe_file.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {

namespace {

FileStamp stampFromStat(const struct stat& info)
{
    FileStamp stamp;
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec);
    stamp.inode = quint64(info.st_ino);
    stamp.device = quint64(info.st_dev);
    return stamp;
}

QString componentError(const QString& relative, int errorNumber)
{
    if (errorNumber == ELOOP || errorNumber == ENOTDIR)
        return QStringLiteral("%1: a symbolic link or not a folder on the way").arg(relative);
    return QStringLiteral("%1: %2").arg(relative, systemError(errorNumber));
}

} // namespace

Descriptor::~Descriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

int Descriptor::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

QString systemError(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

FileStamp stampOfDescriptor(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return stampFromStat(info);
}

Descriptor openFolder(const QString& root, const QString& relative, QString* error)
{
    Descriptor folder(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isValid()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(root, systemError(errno));
        return {};
    }
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (part == QLatin1String("..") || part == QLatin1String(".")) {
            if (error)
                *error = QStringLiteral("%1: not a plain path").arg(relative);
            return {};
        }
        Descriptor next(::openat(folder.get(), QFile::encodeName(part).constData(),
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.isValid()) {
            if (error)
                *error = componentError(relative, errno);
            return {};
        }
        folder = std::move(next);
    }
    return folder;
}

Descriptor openRegularAt(int folder, const QByteArray& name, FileStamp* stamp, int* errorNumber)
{
    Descriptor file(::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.isValid()) {
        if (errorNumber)
            *errorNumber = errno;
        return {};
    }
    const FileStamp found = stampOfDescriptor(file.get());
    if (!found.isValid()) {
        if (errorNumber)
            *errorNumber = EINVAL;
        return {};
    }
    // Regular files never block; reads go on as usual.
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK);
    if (stamp)
        *stamp = found;
    return file;
}

std::unique_ptr<QFile> openRegularIn(int folder, const QString& name, FileStamp* stamp, QString* error)
{
    int errorNumber = 0;
    Descriptor fd = openRegularAt(folder, QFile::encodeName(name), stamp, &errorNumber);
    if (!fd.isValid()) {
        if (error)
            *error = errorNumber == EINVAL ? QStringLiteral("%1: not a regular file").arg(name)
                                           : componentError(name, errorNumber);
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(name, file->errorString());
        return nullptr;
    }
    fd.release();
    return file;
}

std::unique_ptr<QFile> openRegular(const QString& root, const QString& relative, FileStamp* stamp, QString* error)
{
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    const Descriptor folder = openFolder(root, slash < 0 ? QString() : relative.left(slash), error);
    if (!folder.isValid())
        return nullptr;
    std::unique_ptr<QFile> file = openRegularIn(folder.get(), relative.mid(slash + 1), stamp, error);
    if (!file && error)
        *error = relative.left(slash + 1) + *error;
    return file;
}

FileStamp stampOf(const QString& root, const QString& relative)
{
    // Only compared with a stamp taken through a safe open, never used to
    // read: a link on the way cannot match, since inode and device differ.
    struct stat info;
    const QByteArray path = QFile::encodeName(root + QLatin1Char('/') + relative);
    if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return stampFromStat(info);
}

bool readSmallFile(const QString& root, const QString& relative, qint64 maxSize, QByteArray* contents, QString* error)
{
    FileStamp stamp;
    const std::unique_ptr<QFile> file = openRegular(root, relative, &stamp, error);
    if (!file)
        return false;
    // The size is checked on what is read, not on what stat said.
    *contents = file->read(maxSize + 1);
    if (contents->size() > maxSize) {
        if (error)
            *error = QStringLiteral("%1: larger than %2 bytes").arg(relative).arg(maxSize);
        return false;
    }
    return true;
}

} // namespace SafeFile
