#include "desktop_session.h"

#include "platform/linux/desktop_system.h"
#include "test_environment.h"
#include "test_screens.h"

#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

const QList<QRect> kMonitors{{0, 0, 1280, 1024}, {1280, 200, 1024, 768}, {2304, 0, 800, 600}};

QString missing(const QStringList& programs)
{
    for (const QString& program : programs) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return program + QStringLiteral(" is not installed");
    }
    return {};
}

bool runQuietly(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok =
        process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    if (!ok)
        qWarning("%s: %s", qPrintable(program), process.readAllStandardError().constData());
    return ok;
}

// Waits for a condition the session brings about by itself (a server up, a window shown).
template <typename Condition> bool waitFor(Condition condition, int limitMs = 30000)
{
    const QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

const char* const kXorgConfig = R"(Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 4096 2048
    EndSubSection
EndSection
)";

} // namespace

DesktopSession::DesktopSession() : m_folder(TestEnvironment::root() + QStringLiteral("/session"))
{
    QDir().mkpath(m_folder);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The program's own view of the monitors matches the server's.
    QList<TestScreen> screens;
    for (int i = 0; i < kMonitors.size(); ++i) {
        const QRect& r = kMonitors[i];
        screens.append({QStringLiteral("DUMMY%1").arg(i), r.x(), r.y(), r.width(), r.height(), 1.0, 96});
    }
    TestScreens::apply(screens);
}

DesktopSession::~DesktopSession()
{
    // Components first, the server last.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        (*it)->terminate();
        if (!(*it)->waitForFinished(5000)) {
            (*it)->kill();
            (*it)->waitForFinished();
        }
    }
    // A desktop restarted by the program runs on its own: it dies with the server.
}

QList<QRect> DesktopSession::monitors()
{
    return kMonitors;
}

QString DesktopSession::startBus()
{
    if (const QString why = missing({QStringLiteral("dbus-daemon")}); !why.isEmpty())
        return why;
    const QString address = QStringLiteral("unix:path=") + m_folder + QStringLiteral("/bus");
    if (const QString why = start(QStringLiteral("dbus-daemon"),
                                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                   QStringLiteral("--nopidfile"), QStringLiteral("--address=") + address});
        !why.isEmpty())
        return why;
    if (!waitFor([this] { return QFile::exists(m_folder + QStringLiteral("/bus")); }))
        return QStringLiteral("the session bus did not start");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    return {};
}

QString DesktopSession::startX()
{
    if (const QString why = missing({QStringLiteral("Xorg"), QStringLiteral("xrandr")}); !why.isEmpty())
        return why;
    if (!QFile::exists(QStringLiteral("/usr/lib/xorg/modules/drivers/dummy_drv.so")))
        return QStringLiteral("Xorg's dummy driver (xserver-xorg-video-dummy) is not installed");
    const QString config = m_folder + QStringLiteral("/xorg.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(kXorgConfig) < 0)
        return QStringLiteral("cannot write ") + config;
    file.close();
    // A display number no other server holds, tests running side by side.
    int display = 60 + int(QCoreApplication::applicationPid() % 200);
    for (int tries = 0; tries < 20; ++tries, ++display) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
            continue;
        auto server = std::make_unique<QProcess>();
        server->setStandardOutputFile(QProcess::nullDevice());
        server->setStandardErrorFile(m_folder + QStringLiteral("/xorg.err"));
        server->start(QStringLiteral("Xorg"),
                      {QStringLiteral(":%1").arg(display), QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp"), QStringLiteral("-config"), config, QStringLiteral("-logfile"),
                       m_folder + QStringLiteral("/xorg.log")});
        QProcess* started = server.get();
        m_processes.push_back(std::move(server));
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
        if (!waitFor([&] { return QFile::exists(socket) || started->state() == QProcess::NotRunning; }) ||
            started->state() == QProcess::NotRunning)
            continue;
        qputenv("DISPLAY", QStringLiteral(":%1").arg(display).toUtf8());
        break;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("Xorg did not start (see ") + m_folder + QStringLiteral("/xorg.log)");
    // Three outputs of different sizes, the middle one lower.
    QStringList arguments{QStringLiteral("--fb"), QStringLiteral("3104x1024")};
    for (int i = 0; i < kMonitors.size(); ++i) {
        const QRect& r = kMonitors[i];
        const QString output = QStringLiteral("DUMMY%1").arg(i);
        const QString mode = QStringLiteral("%1x%2").arg(r.width()).arg(r.height());
        if (i > 0 && !runQuietly(QStringLiteral("xrandr"), {QStringLiteral("--addmode"), output, mode}))
            return QStringLiteral("xrandr cannot add mode ") + mode;
        arguments << QStringLiteral("--output") << output << QStringLiteral("--mode") << mode << QStringLiteral("--pos")
                  << QStringLiteral("%1x%2").arg(r.x()).arg(r.y());
    }
    // Laid out, then probed once more, as a session's display has settled
    // before its desktop starts.
    if (!runQuietly(QStringLiteral("xrandr"), arguments) || !runQuietly(QStringLiteral("xrandr"), {}))
        return QStringLiteral("xrandr cannot lay the monitors out");
    return startBus();
}

QString DesktopSession::startSway(bool ownSocket)
{
    if (const QString why = missing(
            {QStringLiteral("sway"), QStringLiteral("swaymsg"), QStringLiteral("swaybg"), QStringLiteral("grim")});
        !why.isEmpty())
        return why;
    m_sway = true;
    QString config;
    for (int i = 0; i < kMonitors.size(); ++i) {
        const QRect& r = kMonitors[i];
        config += QStringLiteral("output HEADLESS-%1 resolution %2x%3 position %4 %5\n")
                      .arg(i + 1)
                      .arg(r.width())
                      .arg(r.height())
                      .arg(r.x())
                      .arg(r.y());
    }
    QFile file(m_folder + QStringLiteral("/sway.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return QStringLiteral("cannot write ") + file.fileName();
    file.close();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtime + QStringLiteral("/sway.sock");
    qputenv("SWAYSOCK", socket.toUtf8());
    qputenv("WLR_BACKENDS", "headless");
    qputenv("WLR_HEADLESS_OUTPUTS", QByteArray::number(kMonitors.size()));
    qputenv("WLR_RENDERER", "pixman");
    qputenv("WLR_LIBINPUT_NO_DEVICES", "1");
    if (const QString why = start(QStringLiteral("sway"), {QStringLiteral("-c"), file.fileName()}); !why.isEmpty())
        return why;
    QProcess* sway = m_processes.back().get();
    if (!waitFor([&] { return QFile::exists(socket) || sway->state() == QProcess::NotRunning; }) ||
        sway->state() == QProcess::NotRunning)
        return QStringLiteral("sway did not start headless");
    // grim finds the compositor through WAYLAND_DISPLAY; the program must not:
    // it is told of sway by its socket alone.
    const QStringList sockets = QDir(runtime).entryList({QStringLiteral("wayland-*")});
    if (sockets.isEmpty())
        return QStringLiteral("sway opened no Wayland socket");
    m_waylandDisplay = runtime + QLatin1Char('/') + sockets.constFirst().section(QLatin1Char('.'), 0, 0);
    QList<TestScreen> screens;
    for (int i = 0; i < kMonitors.size(); ++i) {
        const QRect& r = kMonitors[i];
        screens.append({QStringLiteral("HEADLESS-%1").arg(i + 1), r.x(), r.y(), r.width(), r.height(), 1.0, 96});
    }
    TestScreens::apply(screens);
    if (!ownSocket) {
        qunsetenv("SWAYSOCK");
        qputenv("WAYLAND_DISPLAY", m_waylandDisplay.toUtf8());
    }
    return {};
}

QString DesktopSession::start(const QString& program, const QStringList& arguments)
{
    if (const QString why = missing({program}); !why.isEmpty())
        return why;
    auto process = std::make_unique<QProcess>();
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(m_folder + QLatin1Char('/') + program + QStringLiteral(".err"));
    // The tests' own offscreen platform would keep a Qt desktop off the server.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process->setProcessEnvironment(environment);
    process->start(program, arguments);
    if (!process->waitForStarted())
        return program + QStringLiteral(" did not start");
    m_processes.push_back(std::move(process));
    return {};
}

bool DesktopSession::desktopWindowShown() const
{
    if (waitFor([] { return HostDesktopSystem().desktopWindowCoversRoot(); }))
        return true;
    tellWhatComponentsSaid();
    return false;
}

void DesktopSession::tellWhatComponentsSaid() const
{
    const QStringList logs = QDir(m_folder).entryList({QStringLiteral("*.err")});
    for (const QString& log : logs) {
        QFile file(m_folder + QLatin1Char('/') + log);
        if (file.open(QIODevice::ReadOnly))
            qWarning("%s: %s", qPrintable(log), file.read(4000).constData());
    }
}

QImage DesktopSession::screen() const
{
    const QString shot = m_folder + QStringLiteral("/screen.png");
    QFile::remove(shot);
    if (m_sway) {
        QProcess grim;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandDisplay);
        grim.setProcessEnvironment(environment);
        grim.start(QStringLiteral("grim"), {shot});
        grim.waitForFinished(30000);
        return QImage(shot);
    }
    // The root window read in-process: the server's own pixels, every monitor at once.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    QImage image;
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return image;
    }
    const xcb_screen_t* root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_get_image_reply_t* reply =
        !root ? nullptr
              : xcb_get_image_reply(connection,
                                    xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root->root, 0, 0,
                                                  root->width_in_pixels, root->height_in_pixels, ~0u),
                                    nullptr);
    if (reply && reply->depth == 24 &&
        xcb_get_image_data_length(reply) == int(root->width_in_pixels) * root->height_in_pixels * 4) {
        image = QImage(xcb_get_image_data(reply), root->width_in_pixels, root->height_in_pixels, QImage::Format_RGB32)
                    .copy();
    }
    free(reply);
    xcb_disconnect(connection);
    return image;
}

bool DesktopSession::shows(const QList<QColor>& colours) const
{
    const QImage shown = screen();
    m_seen = shown.isNull() ? QStringLiteral("nothing (the screen could not be read)") : QString();
    bool all = !shown.isNull();
    for (int i = 0; i < kMonitors.size() && !shown.isNull(); ++i) {
        const QColor seen = shown.pixelColor(kMonitors[i].center());
        m_seen += seen.name() + QLatin1Char(' ');
        // Scaling and colour depth may shift a channel a little.
        if (qAbs(seen.red() - colours[i].red()) > 8 || qAbs(seen.green() - colours[i].green()) > 8 ||
            qAbs(seen.blue() - colours[i].blue()) > 8)
            all = false;
    }
    return all;
}

bool DesktopSession::printsSoon(const QString& program, const QStringList& arguments, const QString& text) const
{
    return waitFor([&] {
        QString output;
        return runQuietly(program, arguments, &output) && output.contains(text);
    });
}

bool DesktopSession::comesToShow(const QList<QColor>& colours) const
{
    if (waitFor([&] { return shows(colours); }))
        return true;
    tellWhatComponentsSaid();
    return false;
}

QString DesktopSession::composite(const QList<QColor>& colours) const
{
    QImage image(3104, 1024, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (int i = 0; i < kMonitors.size(); ++i)
        painter.fillRect(kMonitors[i], colours[i]);
    painter.end();
    static int count = 0;
    const QString path = m_folder + QStringLiteral("/composite%1.png").arg(++count);
    image.save(path);
    return path;
}
