#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// Tells which library folders may have changed. One inotify descriptor holds
// every watch (a hundred thousand folders cost one descriptor and a few
// microseconds each); a watch sees the listing of its own folder and the
// files written or changed in it. Changes are gathered for a short quiet
// period, so that a burst (a copy of many files) gives one signal, then
// handed out by watch id.
class LibraryWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultDelayMs = 300;

    explicit LibraryWatcher(QObject* parent = nullptr);
    ~LibraryWatcher() override;

    void setDelay(int milliseconds) { m_delay.setInterval(milliseconds); }
    int delay() const { return m_delay.interval(); }

    // The descriptor watches are added to, -1 when the system gave none.
    int descriptor() const { return m_fd; }
    // Watches the folder at path, on any thread. The library's own root may
    // be reached through a link; nothing below it is. Returns the watch id, or -1.
    enum class LinkRule { NotFollowed, Followed };
    static int addWatch(int descriptor, const QByteArray& path, LinkRule links = LinkRule::NotFollowed);
    void removeWatch(int watch);

    // Watches exactly these folders (by path) from now on. Returns the
    // folders that could not be watched (for example beyond the system's watch limit).
    QStringList watch(const QStringList& folders);
    // In ascending order.
    QStringList watchedFolders() const;
    qsizetype watchedCount() const { return m_pathWatches.size(); }

    // Starts the quiet period as if a folder had changed.
    void poke();

    // The watches that saw a change since the last call. overflowed tells
    // that the system dropped events: anything may have changed.
    QSet<int> takeChanged(bool* overflowed);

Q_SIGNALS:
    void changed();

private:
    void readEvents();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QSet<int> m_changed;
    bool m_overflowed = false;
    QHash<QString, int> m_pathWatches;
    QTimer m_delay;
};
