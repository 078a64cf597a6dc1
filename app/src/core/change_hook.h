#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// The user's command run after each successful change: started without a
// shell, given the composite's path as its last argument and each monitor's
// id and picture in its environment (VELMORA_SCREEN_<N>_ID and
// VELMORA_SCREEN_<N>_PICTURE, N counted from 1 as the window shows screens).
// It runs on its own, the window never waits for it: a run still going when
// the next change ends is left to finish, and one that outlives the time
// limit is killed. Its exit and first lines of output go to the log; nothing
// it does is reported to the change.
class ChangeHook : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeLimitMs = 30000;
    // Output kept for the log; the rest is read and dropped so that the command never blocks on a full pipe.
    static constexpr qsizetype keptOutputBytes = 4096;
    static constexpr int loggedLines = 5;

    struct Screen
    {
        QString id;
        QString picture;
    };

    enum class Outcome { Exited, Failed, FailedToStart, Killed };
    struct Report
    {
        Outcome outcome = Outcome::Exited;
        int exitCode = 0;
        // The first lines of what it wrote on its standard output and error.
        QStringList firstLines;
    };

    explicit ChangeHook(QObject* parent = nullptr);
    // Commands still running are killed: nobody is left to hear of them.
    ~ChangeHook() override;

    // Starts commandLine (split as a command line, no shell). False, with why,
    // when the line is empty or names no program; the start itself is reported by finished.
    bool run(const QString& commandLine, const QString& compositePath, const QList<Screen>& screens,
             QString* whyNot = nullptr);

    void setTimeLimit(int milliseconds) { m_timeLimitMs = milliseconds; }
    int running() const { return m_running; }

Q_SIGNALS:
    // Once per run, started or not.
    void finished(const ChangeHook::Report& report);

private:
    void report(QProcess* process, Report result);

    int m_timeLimitMs = defaultTimeLimitMs;
    int m_running = 0;
};
