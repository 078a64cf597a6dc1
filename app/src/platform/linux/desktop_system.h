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
