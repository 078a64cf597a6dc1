#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

// Tells when the library may have changed. The system watcher sees only the
// listing of each watched folder, so every folder of the library is watched;
// a burst of changes (a copy of many files) gives one signal.
class LibraryWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultDelayMs = 300;

    explicit LibraryWatcher(QObject* parent = nullptr);

    void setDelay(int milliseconds) { m_delay.setInterval(milliseconds); }
    int delay() const { return m_delay.interval(); }

    // Watches exactly these folders from now on. Returns the folders that
    // could not be watched (for example beyond the system's watch limit).
    QStringList watch(const QStringList& folders);
    // In ascending order.
    QStringList watchedFolders() const;
    qsizetype watchedCount() const { return m_owner.size(); }

    // Starts the quiet period as if a folder had changed.
    void poke() { m_delay.start(); }

Q_SIGNALS:
    void changed();

private:
    QFileSystemWatcher* watcherWithRoom();

    // QFileSystemWatcher slows down quadratically with the number of paths it
    // holds, so a large library is spread over several of them.
    // Each is an inotify instance, of which a user has 128 by default: 2 048
    // paths each keep 100 000 folders to 50 of them.
    static constexpr qsizetype pathsPerWatcher = 2048;
    QList<QFileSystemWatcher*> m_watchers;
    QHash<QFileSystemWatcher*, qsizetype> m_load;
    QHash<QString, QFileSystemWatcher*> m_owner;
    QTimer m_delay;
};
