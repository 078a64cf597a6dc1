#include "library_watcher.h"

#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Entries coming and going, files finished or changed in place (a picture
// written, replaced or made unreadable): what the index is made of.
constexpr uint32_t folderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB | IN_ONLYDIR;

// Events are read in bounded slices; the notifier fires again for the rest.
constexpr size_t eventBufferSize = 64 * 1024;
constexpr int readsPerWakeUp = 16;

} // namespace

LibraryWatcher::LibraryWatcher(QObject* parent) : QObject(parent)
{
    m_delay.setSingleShot(true);
    m_delay.setInterval(defaultDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &LibraryWatcher::changed);
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &LibraryWatcher::readEvents);
    }
}

LibraryWatcher::~LibraryWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

int LibraryWatcher::addWatch(int descriptor, const QByteArray& path, LinkRule links)
{
    if (descriptor < 0)
        return -1;
    // By path, which costs a fraction of watching through /proc/self/fd. Should
    // a folder be swapped for another between its reading and its watch, the
    // other is watched; its parent's listing changed too, and reading the
    // parent again finds a new folder and reads it whole.
    return ::inotify_add_watch(descriptor, path.constData(),
                               folderEvents | (links == LinkRule::NotFollowed ? IN_DONT_FOLLOW : 0));
}

void LibraryWatcher::removeWatch(int watch)
{
    // A folder that went has lost its watch already; that refusal is expected.
    if (m_fd >= 0 && watch >= 0)
        ::inotify_rm_watch(m_fd, watch);
}

QStringList LibraryWatcher::watch(const QStringList& folders)
{
    const QSet<QString> wanted(folders.cbegin(), folders.cend());
    for (auto it = m_pathWatches.begin(); it != m_pathWatches.end();) {
        if (wanted.contains(it.key())) {
            ++it;
            continue;
        }
        removeWatch(it.value());
        it = m_pathWatches.erase(it);
    }
    QStringList failed;
    for (const QString& folder : folders) {
        if (m_pathWatches.contains(folder))
            continue;
        const int watch =
            m_fd < 0 ? -1 : ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), folderEvents);
        if (watch < 0)
            failed << folder;
        else
            m_pathWatches.insert(folder, watch);
    }
    return failed;
}

QStringList LibraryWatcher::watchedFolders() const
{
    QStringList folders = m_pathWatches.keys();
    std::sort(folders.begin(), folders.end());
    return folders;
}

void LibraryWatcher::poke()
{
    // The first change starts the quiet period and later ones join it: a
    // steady stream of changes still gives a signal every period.
    if (!m_delay.isActive())
        m_delay.start();
}

QSet<int> LibraryWatcher::takeChanged(bool* overflowed)
{
    if (overflowed)
        *overflowed = m_overflowed;
    m_overflowed = false;
    return std::exchange(m_changed, {});
}

void LibraryWatcher::readEvents()
{
    alignas(inotify_event) char buffer[eventBufferSize];
    bool any = false;
    for (int i = 0; i < readsPerWakeUp; ++i) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW)
                m_overflowed = true;
            else if (event->wd >= 0)
                m_changed.insert(event->wd);
            any = true;
        }
    }
    if (any)
        poke();
}
