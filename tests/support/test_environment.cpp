#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

namespace {
QString g_root;

void setPath(const char* variable, const QString& path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv(variable, QFile::encodeName(path));
}
} // namespace

TestEnvironment::TestEnvironment() : m_dir(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/velmora-test-XXXXXX")))
{
    if (!m_dir->isValid())
        qFatal("cannot create the temporary test home");
    g_root = m_dir->path();
    setPath("HOME", g_root + QStringLiteral("/home"));
    setPath("XDG_CONFIG_HOME", g_root + QStringLiteral("/home/.config"));
    setPath("XDG_CACHE_HOME", g_root + QStringLiteral("/home/.cache"));
    setPath("XDG_DATA_HOME", g_root + QStringLiteral("/home/.local/share"));
    setPath("XDG_STATE_HOME", g_root + QStringLiteral("/home/.local/state"));
    setPath("XDG_RUNTIME_DIR", g_root + QStringLiteral("/runtime"));
    setPath("TMPDIR", g_root + QStringLiteral("/tmp"));
    // No test may reach the user's session bus or desktop.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("XDG_SESSION_DESKTOP");
    qunsetenv("DESKTOP_SESSION");

    const QString screens = g_root + QStringLiteral("/screens.json");
    QFile file(screens);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the screen configuration");
    file.write(R"({"screens":[{"name":"A","x":0,"y":0,"width":1920,"height":1080,)"
               R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
    file.close();
    // The platform string splits its arguments at ':', which a Windows drive
    // letter would break: the file is named from the test root, made current.
    m_previousDirectory = QDir::currentPath();
    QDir::setCurrent(g_root);
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=screens.json"));
    qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
    QStandardPaths::setTestModeEnabled(true);
}

TestEnvironment::~TestEnvironment()
{
    // Windows removes no folder that is a process's current one.
    QDir::setCurrent(m_previousDirectory);
    delete m_dir;
}

QString TestEnvironment::root()
{
    return g_root;
}
