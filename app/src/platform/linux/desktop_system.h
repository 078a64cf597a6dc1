#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

class QEventLoop;

// What the Linux wallpaper setter asks of the running system: programs and the
// Plasma shell. Tests stand in for it where a desktop cannot run headless.
class DesktopSystem
{
public:
    struct Result
    {
        bool ok = false;
        QString output;
        QString error;
    };

    virtual ~DesktopSystem();

    // Runs a program to its end; ok when it started and exited with code 0.
    virtual Result run(const QString& program, const QStringList& arguments) = 0;
    virtual bool hasProgram(const QString& program) const = 0;
    // org.kde.PlasmaShell.evaluateScript on the session bus.
    virtual Result evaluatePlasmaScript(const QString& script) = 0;
    // Whether a shown window of type _NET_WM_WINDOW_TYPE_DESKTOP lies over the
    // X11 root window: a desktop that draws its own background there hides
    // whatever is painted on the root.
    virtual bool desktopWindowCoversRoot() = 0;
    // Starts a program that outlives the call (a desktop restarted); its
    // process id, or 0 when it did not start.
    virtual qint64 startDetached(const QString& program, const QStringList& arguments) = 0;
    // The user's running processes of this program whose arguments hold `with`.
    virtual QList<qint64> processesWith(const QString& program, const QString& with) const = 0;
    // Asks a process to end (SIGTERM).
    virtual void stop(qint64 processId) = 0;
    // The arguments of the first running process of this program (its file
    // name) whose arguments hold `with`; empty when none runs.
    virtual QStringList runningArguments(const QString& program, const QString& with) const = 0;
};

// The real programs and the real session bus. A program or call that has not
// answered within the time limit fails; meanwhile only the calling thread waits.
class HostDesktopSystem final : public DesktopSystem
{
public:
    explicit HostDesktopSystem(int timeLimitMs = 15000);

    Result run(const QString& program, const QStringList& arguments) override;
    bool hasProgram(const QString& program) const override;
    Result evaluatePlasmaScript(const QString& script) override;
    bool desktopWindowCoversRoot() override;
    qint64 startDetached(const QString& program, const QStringList& arguments) override;
    QStringList runningArguments(const QString& program, const QString& with) const override;
    QList<qint64> processesWith(const QString& program, const QString& with) const override;
    void stop(qint64 processId) override;

    // The program is closing: every program or call waited for now, and any
    // asked for later, fails at once instead of at the time limit. Safe on any thread.
    void abandon();

private:
    // Waits in loop until it is quit, unless abandon() came first.
    bool wait(QEventLoop& loop);

    int m_timeLimitMs;
    QMutex m_waitMutex;
    QList<QEventLoop*> m_waiting;
    bool m_abandoned = false;
};
