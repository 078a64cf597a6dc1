#include "library_watcher.h"

LibraryWatcher::LibraryWatcher(QObject* parent) : QObject(parent)
{
    m_delay.setSingleShot(true);
    m_delay.setInterval(defaultDelayMs);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &LibraryWatcher::poke);
    connect(&m_delay, &QTimer::timeout, this, &LibraryWatcher::changed);
}

QStringList LibraryWatcher::watch(const QStringList& folders)
{
    const QStringList current = m_watcher.directories();
    const QSet<QString> wanted(folders.cbegin(), folders.cend());
    const QSet<QString> watched(current.cbegin(), current.cend());

    QStringList gone;
    for (const QString& folder : current) {
        if (!wanted.contains(folder))
            gone << folder;
    }
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);

    QStringList added;
    for (const QString& folder : folders) {
        if (!watched.contains(folder))
            added << folder;
    }
    return added.isEmpty() ? QStringList() : m_watcher.addPaths(added);
}

QStringList LibraryWatcher::watchedFolders() const
{
    return m_watcher.directories();
}
