#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

// Identity of a file's content as far as the file system tells: a picture
// replaced by another, even one with an older time, gets a new stamp.
struct FileStamp
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;

    bool isValid() const { return size >= 0; }
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Opening files inside a folder the service owns (the library, its cache)
// without ever following a symbolic link or blocking on a special file. Every
// component below the root is opened with O_NOFOLLOW; only regular files are
// handed out, and they are opened with O_NONBLOCK so a FIFO cannot hang us.
namespace SafeFile {

// A descriptor closed when it goes.
class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor();
    Descriptor(Descriptor&& other) noexcept : m_fd(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release();

private:
    int m_fd = -1;
};

// The folder at root/relative (relative may be empty), each component below
// root a real folder.
Descriptor openFolder(const QString& root, const QString& relative, QString* error);

// A regular file at root/relative, read-only. stamp receives its identity.
std::unique_ptr<QFile> openRegular(const QString& root, const QString& relative, FileStamp* stamp, QString* error);

// A regular file named name in an open folder, read-only.
std::unique_ptr<QFile> openRegularIn(int folder, const QString& name, FileStamp* stamp, QString* error);

// The stamp of root/relative, invalid unless it is a regular file (the last
// component not a link); for telling whether a file changed.
FileStamp stampOf(const QString& root, const QString& relative);

// Reads at most maxSize bytes of a regular file; fails when it holds more.
bool readSmallFile(const QString& root, const QString& relative, qint64 maxSize, QByteArray* contents, QString* error);

// Plain helpers for a folder descriptor (used by the thumbnail cache).
Descriptor openRegularAt(int folder, const QByteArray& name, FileStamp* stamp, int* errorNumber);
FileStamp stampOfDescriptor(int fd);

QString systemError(int errorNumber);

} // namespace SafeFile
