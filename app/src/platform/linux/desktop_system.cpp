#include "desktop_system.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include <csignal>
#include <unistd.h>

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

namespace {

// Reads one ATOM-list property; empty when the window has none.
QList<xcb_atom_t> atomProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property)
{
    QList<xcb_atom_t> atoms;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 32), nullptr);
    if (!reply)
        return atoms;
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t));
    for (int i = 0; i < count; ++i)
        atoms.append(values[i]);
    free(reply);
    return atoms;
}

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

struct XcbConnection
{
    XcbConnection() : connection(xcb_connect(nullptr, nullptr)) {}
    ~XcbConnection() { xcb_disconnect(connection); }
    XcbConnection(const XcbConnection&) = delete;
    XcbConnection& operator=(const XcbConnection&) = delete;
    xcb_connection_t* connection;
};

} // namespace

bool HostDesktopSystem::desktopWindowCoversRoot()
{
    // A connection of its own: this runs on the setter's thread, not Qt's.
    const XcbConnection x;
    if (xcb_connection_has_error(x.connection))
        return false;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x.connection)).data;
    const xcb_atom_t type = internAtom(x.connection, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktop = internAtom(x.connection, "_NET_WM_WINDOW_TYPE_DESKTOP");
    if (!screen || type == XCB_ATOM_NONE || desktop == XCB_ATOM_NONE)
        return false;
    // Top-level windows, and their children: a reparenting window manager puts
    // the desktop's window inside a frame of its own.
    QList<xcb_window_t> pending{screen->root};
    for (int depth = 0; depth < 2 && !pending.isEmpty(); ++depth) {
        QList<xcb_window_t> next;
        for (const xcb_window_t parent : std::as_const(pending)) {
            xcb_query_tree_reply_t* tree =
                xcb_query_tree_reply(x.connection, xcb_query_tree(x.connection, parent), nullptr);
            if (!tree)
                continue;
            const xcb_window_t* children = xcb_query_tree_children(tree);
            for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
                xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
                    x.connection, xcb_get_window_attributes(x.connection, children[i]), nullptr);
                const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
                free(attributes);
                if (!viewable)
                    continue;
                if (atomProperty(x.connection, children[i], type).contains(desktop)) {
                    free(tree);
                    return true;
                }
                next.append(children[i]);
            }
            free(tree);
        }
        pending = next;
    }
    return false;
}

qint64 HostDesktopSystem::startDetached(const QString& program, const QStringList& arguments)
{
    qint64 processId = 0;
    return QProcess::startDetached(program, arguments, QString(), &processId) ? processId : 0;
}

namespace {

// The user's own processes of a program (by file name), each with its arguments.
QList<QPair<qint64, QStringList>> userProcesses(const QString& program)
{
    QList<QPair<qint64, QStringList>> found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString& pid : pids) {
        // The user's own session only: another user's desktop is none of ours.
        if (QFileInfo(QStringLiteral("/proc/") + pid).ownerId() != getuid())
            continue;
        QFile file(QStringLiteral("/proc/") + pid + QStringLiteral("/cmdline"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> parts = file.readAll().split('\0');
        QStringList arguments;
        for (const QByteArray& part : parts)
            arguments.append(QString::fromLocal8Bit(part));
        while (!arguments.isEmpty() && arguments.constLast().isEmpty())
            arguments.removeLast();
        if (arguments.isEmpty() || arguments.constFirst().section(QLatin1Char('/'), -1) != program)
            continue;
        arguments.removeFirst();
        found.append({pid.toLongLong(), arguments});
    }
    return found;
}

} // namespace

QStringList HostDesktopSystem::runningArguments(const QString& program, const QString& with) const
{
    for (const auto& process : userProcesses(program)) {
        if (process.second.contains(with))
            return process.second;
    }
    return {};
}

QList<qint64> HostDesktopSystem::processesWith(const QString& program, const QString& with) const
{
    QList<qint64> found;
    for (const auto& process : userProcesses(program)) {
        if (process.second.join(QLatin1Char(' ')).contains(with))
            found.append(process.first);
    }
    return found;
}

void HostDesktopSystem::stop(qint64 processId)
{
    if (processId > 0)
        ::kill(pid_t(processId), SIGTERM);
}
