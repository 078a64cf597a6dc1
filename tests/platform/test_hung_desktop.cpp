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
    explicit HostDesktopPlatform(const QString& store) : m_system(1000), m_setter(m_system, store) {}
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
    bool addStartupEntry(const QString& name, const QString& program, const QStringList& arguments) override
    {
        return m_fake.addStartupEntry(name, program, arguments);
    }
    bool removeStartupEntry(const QString& name) override { return m_fake.removeStartupEntry(name); }
    bool hasStartupEntry(const QString& name) const override { return m_fake.hasStartupEntry(name); }

private:
    FakePlatformServices m_fake;
    HostDesktopSystem m_system;
    LinuxWallpaperSetter m_setter;
};

} // namespace

class TestHungDesktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A desktop whose settings program never answers: the window keeps
    // running its event loop meanwhile, and the set fails at the time limit.
    void commandThatNeverEndsFailsTheSet()
    {
        QTemporaryDir bin;
        const QString started = bin.filePath(QStringLiteral("started"));
        QFile script(bin.filePath(QStringLiteral("gsettings")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\nexec sleep 600\n").arg(started).toUtf8());
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        qputenv("PATH", bin.path().toUtf8() + ':' + qgetenv("PATH"));
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");

        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("c")));
        QVERIFY(!service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p.png")).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        WindowEnvironment environment = service.windowEnvironment();
        environment.platform = std::make_unique<HostDesktopPlatform>(bin.filePath(QStringLiteral("store")));
        ModernWindow window(std::move(environment));
        window.setCategoryRating(QStringLiteral("c"), 1);

        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start(10);
        QTest::mouseClick(Access::changeNowButton(window), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(started), 30000);
        // The command hangs while the window's timers keep firing.
        QVERIFY(Access::changeInFlight(window));
        const int ticksWhileHung = ticks;
        QTRY_VERIFY(ticks > ticksWhileHung + 2 || !Access::changeInFlight(window));
        QVERIFY(Access::changeInFlight(window));
        QTRY_VERIFY_WITH_TIMEOUT(!Access::changeInFlight(window), 30000);

        QCOMPARE(Access::status(window), QStringLiteral("Erreur lors de l'application"));
        QVERIFY(Access::changeNowButton(window)->isEnabled());
        QCOMPARE(Access::historySize(window), 0);
    }
};

VELMORA_TEST_MAIN(TestHungDesktop)
#include "test_hung_desktop.moc"
