#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

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
    QStringList watchedFolders() const;

    // Starts the quiet period as if a folder had changed.
    void poke() { m_delay.start(); }

Q_SIGNALS:
    void changed();

private:
    QFileSystemWatcher m_watcher;
    QTimer m_delay;
};
