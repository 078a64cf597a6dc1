#include "service_fixture.h"
#include "test_main.h"
#include "test_window.h"

#include "modern_window.h"
#include "platform/linux/desktop_system.h"
#include "platform/linux/linux_wallpaper_setter.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

class ModernWindowTestAccess
{
public:
    static QPushButton* changeNowButton(ModernWindow& w) { return w.changeNowButton; }
    static QString status(ModernWindow& w) { return w.statusLabel->text(); }
    static bool changeInFlight(ModernWindow& w) { return w.currentMultiDownload != nullptr; }
    static int historySize(ModernWindow& w) { return int(w.getAllHistoryEntriesMerged().size()); }
};

namespace {

using Access = ModernWindowTestAccess;

// The real Linux setter running real programs, with a short time limit; the
// rest as the recording platform does it.
class HostDesktopPlatform final : public PlatformServices
{
public:
    HostDesktopPlatform(const QString& store, int timeLimitMs) : m_system(timeLimitMs), m_setter(m_system, store) {}
    const char* name() const override { return "host desktop"; }
    bool bringToFront(QWidget* window) override { return m_fake.bringToFront(window); }
    bool hasSystemTray() const override { return true; }
    bool setWallpaper(const QString& imagePath) override { return m_setter.setWallpaper(imagePath); }
    bool setSpanStyle() override { return m_setter.setSpanStyle(); }
    bool setSpannedWallpaper(const QString& path, const QList<QRect>& rects) override
    {
        return m_setter.setSpannedWallpaper(path, rects);
    }
    MonitorIdentity monitorIdentity(int screenIndex) const override { return m_fake.monitorIdentity(screenIndex); }
    bool isDisplayChangeMessage(const QByteArray& type, const void* message) const override
    {
        return m_fake.isDisplayChangeMessage(type, message);
    }
    bool announcesDisplayChangesByScreenSignals() const override { return true; }
    bool tlsTrustsAddedRoots() const override { return true; }
    bool addStartupEntry(const QString& name, const QString& program, const QStringList& arguments) override
    {
        return m_fake.addStartupEntry(name, program, arguments);
    }
    bool removeStartupEntry(const QString& name) override { return m_fake.removeStartupEntry(name); }
    bool hasStartupEntry(const QString& name) const override { return m_fake.hasStartupEntry(name); }
    void abandonPendingWork() override { m_system.abandon(); }

private:
    FakePlatformServices m_fake;
    HostDesktopSystem m_system;
    LinuxWallpaperSetter m_setter;
};

} // namespace

class TestHungDesktop : public QObject
{
    Q_OBJECT

    // A desktop whose settings program never answers, and a window that changes
    // its wallpaper through it; returns once the program has started.
    std::unique_ptr<ModernWindow> startHungChange(ServiceFixture& service, int timeLimitMs)
    {
        const QString started = m_bin.filePath(QStringLiteral("started"));
        QFile::remove(started);
        QFile script(m_bin.filePath(QStringLiteral("gsettings")));
        if (!script.open(QIODevice::WriteOnly))
            return {};
        script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\nexec sleep 600\n").arg(started).toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", m_bin.path().toUtf8() + ':' + m_path);
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");

        if (!service.addCategory(QStringLiteral("c")) ||
            service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p.png")).isEmpty() ||
            !service.start())
            return {};
        WindowEnvironment environment = service.windowEnvironment();
        environment.platform =
            std::make_unique<HostDesktopPlatform>(m_bin.filePath(QStringLiteral("store")), timeLimitMs);
        auto window = std::make_unique<ModernWindow>(std::move(environment));
        window->setCategoryRating(QStringLiteral("c"), 1);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return QFile::exists(started); }, 30000))
            return {};
        return window;
    }

private Q_SLOTS:
    // The window keeps running its event loop meanwhile, and the set fails at the time limit.
    void commandThatNeverEndsFailsTheSet()
    {
        ServiceFixture service;
        QTimer timer;
        int ticks = 0;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start(10);
        const auto window = startHungChange(service, 1000);
        QVERIFY(window);
        // The command hangs while the window's timers keep firing.
        QVERIFY(Access::changeInFlight(*window));
        const int ticksWhileHung = ticks;
        QTRY_VERIFY(ticks > ticksWhileHung + 2 || !Access::changeInFlight(*window));
        QVERIFY(Access::changeInFlight(*window));
        QTRY_VERIFY_WITH_TIMEOUT(!Access::changeInFlight(*window), 30000);

        QCOMPARE(Access::status(*window), QStringLiteral("Erreur lors de l'application"));
        QVERIFY(Access::changeNowButton(*window)->isEnabled());
        QCOMPARE(Access::historySize(*window), 0);
    }

    // Closing does not wait for the command's time limit (an hour here: a wait
    // would outlast the test's own limit).
    void closingEndsAHungCommand()
    {
        ServiceFixture service;
        auto window = startHungChange(service, 3600 * 1000);
        QVERIFY(window);
        window.reset();
    }

private:
    QTemporaryDir m_bin;
    const QByteArray m_path = qgetenv("PATH");
};

VELMORA_TEST_MAIN(TestHungDesktop)
#include "test_hung_desktop.moc"
