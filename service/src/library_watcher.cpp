#include "library_watcher.h"

#include <QFileSystemWatcher>
#include <QSet>

#include <algorithm>

LibraryWatcher::LibraryWatcher(QObject* parent) : QObject(parent)
{
    m_delay.setSingleShot(true);
    m_delay.setInterval(defaultDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &LibraryWatcher::changed);
}

QStringList LibraryWatcher::watch(const QStringList& folders)
{
    const QSet<QString> wanted(folders.cbegin(), folders.cend());
    QHash<QFileSystemWatcher*, QStringList> gone;
    for (auto it = m_owner.cbegin(); it != m_owner.cend(); ++it) {
        if (!wanted.contains(it.key()))
            gone[it.value()] << it.key();
    }
    for (auto it = gone.cbegin(); it != gone.cend(); ++it) {
        it.key()->removePaths(it.value());
        m_load[it.key()] -= it.value().size();
        for (const QString& folder : it.value())
            m_owner.remove(folder);
    }

    QStringList added;
    for (const QString& folder : folders) {
        if (!m_owner.contains(folder))
            added << folder;
    }
    QStringList failed;
    while (!added.isEmpty()) {
        QFileSystemWatcher* watcher = watcherWithRoom();
        const QStringList batch = added.mid(0, pathsPerWatcher - m_load.value(watcher));
        added.remove(0, batch.size());
        const QStringList refused = watcher->addPaths(batch);
        const QSet<QString> refusedSet(refused.cbegin(), refused.cend());
        for (const QString& folder : batch) {
            if (!refusedSet.contains(folder))
                m_owner.insert(folder, watcher);
        }
        m_load[watcher] += batch.size() - refused.size();
        failed += refused;
    }
    return failed;
}

QStringList LibraryWatcher::watchedFolders() const
{
    QStringList folders = m_owner.keys();
    std::sort(folders.begin(), folders.end());
    return folders;
}

QFileSystemWatcher* LibraryWatcher::watcherWithRoom()
{
    for (QFileSystemWatcher* watcher : std::as_const(m_watchers)) {
        if (m_load.value(watcher) < pathsPerWatcher)
            return watcher;
    }
    auto* watcher = new QFileSystemWatcher(this);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &LibraryWatcher::poke);
    m_watchers << watcher;
    return watcher;
}
