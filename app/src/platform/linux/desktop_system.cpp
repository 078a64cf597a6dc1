#include "desktop_system.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

DesktopSystem::~DesktopSystem() = default;

HostDesktopSystem::HostDesktopSystem(int timeLimitMs) : m_timeLimitMs(timeLimitMs) {}

DesktopSystem::Result HostDesktopSystem::run(const QString& program, const QStringList& arguments)
{
    // Waits on the process's signals in a loop of its own, on the thread that
    // sets the wallpaper (never the GUI thread), with the time limit as a timer.
    Result result;
    QProcess process;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failedToStart = true;
            loop.quit();
        }
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    {
        const QMutexLocker locker(&m_waitMutex);
        if (m_abandoned) {
            result.error = QStringLiteral("abandoned");
            return result;
        }
    }
    process.start(program, arguments);
    process.closeWriteChannel();
    limit.start(m_timeLimitMs);
    if (!failedToStart && process.state() != QProcess::NotRunning)
        wait(loop);

    if (failedToStart) {
        result.error = process.errorString();
        return result;
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        result.error = limit.isActive() ? QStringLiteral("abandoned") : QStringLiteral("timed out");
        return result;
    }
    result.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!result.ok && result.error.isEmpty())
        result.error = QStringLiteral("exit code %1").arg(process.exitCode());
    return result;
}

bool HostDesktopSystem::wait(QEventLoop& loop)
{
    {
        const QMutexLocker locker(&m_waitMutex);
        if (m_abandoned)
            return false;
        m_waiting.append(&loop);
    }
    loop.exec();
    const QMutexLocker locker(&m_waitMutex);
    m_waiting.removeOne(&loop);
    return !m_abandoned;
}

void HostDesktopSystem::abandon()
{
    const QMutexLocker locker(&m_waitMutex);
    m_abandoned = true;
    // Each loop runs on its own thread: the quit is posted there, and a loop
    // still on its way into exec() takes it as soon as it gets there.
    for (QEventLoop* loop : std::as_const(m_waiting))
        QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
}

bool HostDesktopSystem::hasProgram(const QString& program) const
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

DesktopSystem::Result HostDesktopSystem::evaluatePlasmaScript(const QString& script)
{
    Result result;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        result.error = bus.lastError().message();
        return result;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
                                       QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
    call << script;
    // An asynchronous call, awaited like a program; D-Bus ends it at the limit.
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, m_timeLimitMs));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        if (!wait(loop)) {
            result.error = QStringLiteral("abandoned");
            return result;
        }
    }
    const QDBusMessage reply = watcher.reply();
    result.ok = reply.type() == QDBusMessage::ReplyMessage;
    if (result.ok && !reply.arguments().isEmpty())
        result.output = reply.arguments().constFirst().toString();
    if (!result.ok)
        result.error = reply.errorMessage();
    return result;
}
