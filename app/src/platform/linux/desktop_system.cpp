#include "desktop_system.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>

namespace {
// A desktop that has not answered by then is not going to; the caller runs on
// the GUI thread.
constexpr int kTimeoutMs = 15000;
} // namespace

DesktopSystem::~DesktopSystem() = default;

DesktopSystem::Result HostDesktopSystem::run(const QString& program, const QStringList& arguments)
{
    Result result;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(kTimeoutMs)) {
        result.error = process.errorString();
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.error = QStringLiteral("timed out");
        return result;
    }
    result.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!result.ok && result.error.isEmpty())
        result.error = QStringLiteral("exit code %1").arg(process.exitCode());
    return result;
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
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    result.ok = reply.type() == QDBusMessage::ReplyMessage;
    if (result.ok && !reply.arguments().isEmpty())
        result.output = reply.arguments().constFirst().toString();
    if (!result.ok)
        result.error = reply.errorMessage();
    return result;
}
