#include "desktop_session.h"
#include "test_main.h"

#include "platform/linux/desktop_system.h"
#include "platform/platform_services.h"

#include <QColor>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

// Each desktop brought up for real: the platform layer sets one composite and
// every monitor must then show its own part of it, read back from the screen.
class TestDesktopPixels : public QObject
{
    Q_OBJECT

    std::unique_ptr<DesktopSession> m_session;

    // The window's own sequence: the span style, then the composite.
    bool setComposite(const QList<QColor>& colours)
    {
        const std::unique_ptr<PlatformServices> platform = createPlatformServices();
        platform->setSpanStyle();
        return platform->setSpannedWallpaper(m_session->composite(colours), DesktopSession::monitors());
    }

    // Two changes in a row: the second must replace the first on every monitor.
    void setsEveryMonitorTwice()
    {
        const QList<QColor> first{Qt::red, Qt::green, Qt::blue};
        QVERIFY(setComposite(first));
        QVERIFY2(m_session->comesToShow(first), qPrintable(QStringLiteral("seen: ") + m_session->seen()));
        const QList<QColor> second{Qt::yellow, Qt::magenta, Qt::cyan};
        QVERIFY(setComposite(second));
        QVERIFY2(m_session->comesToShow(second), qPrintable(QStringLiteral("seen: ") + m_session->seen()));
    }

    // Empty when the desktop is up; otherwise why it is skipped.
    QString bringUp(const QString& desktop, const QString& program, const QStringList& arguments)
    {
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        QString why = m_session->startX();
        if (why.isEmpty() && !program.isEmpty())
            why = m_session->start(program, arguments);
        if (!why.isEmpty())
            return desktop + QStringLiteral(" skipped: ") + why;
        return {};
    }

private slots:
    void init() { m_session = std::make_unique<DesktopSession>(); }
    void cleanup() { m_session.reset(); }

    void feh()
    {
        // No drawing component: feh paints the root itself (asked here only whether it is installed).
        if (const QString why = bringUp(QStringLiteral("i3"), QStringLiteral("feh"), {QStringLiteral("--version")});
            !why.isEmpty())
            QSKIP(qPrintable(why));
        setsEveryMonitorTwice();
    }

    void xfce()
    {
        // xfdesktop shows its windows once a window manager runs.
        QString why = bringUp(QStringLiteral("XFCE"), QStringLiteral("xfwm4"), {QStringLiteral("--compositor=off")});
        if (why.isEmpty())
            why = m_session->start(QStringLiteral("xfdesktop"), {});
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(m_session->desktopWindowShown());
        // Settled once it has written its first monitor's backdrop, as a session's desktop has.
        QVERIFY(m_session->printsSoon(QStringLiteral("xfconf-query"), {"-c", "xfce4-desktop", "-l"},
                                      QStringLiteral("/backdrop/screen0/monitorDUMMY0/workspace0/")));
        setsEveryMonitorTwice();
    }

    void mate()
    {
        // caja and gsettings share the keyfile back-end of the test's home.
        qputenv("GSETTINGS_BACKEND", "keyfile");
        if (const QString why = bringUp(QStringLiteral("MATE"), QStringLiteral("caja"),
                                        {QStringLiteral("--no-default-window"), QStringLiteral("--force-desktop")});
            !why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(m_session->desktopWindowShown());
        setsEveryMonitorTwice();
    }

    void lxde()
    {
        if (const QString why =
                bringUp(QStringLiteral("LXDE"), QStringLiteral("pcmanfm"),
                        {QStringLiteral("--desktop"), QStringLiteral("--profile"), QStringLiteral("LXDE")});
            !why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(m_session->desktopWindowShown());
        setsEveryMonitorTwice();
    }

    void lxqt()
    {
        // pcmanfm-qt's one desktop window spans every monitor.
        if (const QString why =
                bringUp(QStringLiteral("LXQt"), QStringLiteral("pcmanfm-qt"), {QStringLiteral("--desktop")});
            !why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(m_session->desktopWindowShown());
        setsEveryMonitorTwice();
    }

    void sway_data()
    {
        QTest::addColumn<bool>("ownSocket");
        QTest::newRow("swaymsg") << true;
        QTest::newRow("swaybg, as under other compositors") << false;
    }
    void sway()
    {
        QFETCH(bool, ownSocket);
        // sway refuses to run as root: as root, this test runs again as nobody.
        if (getuid() == 0) {
            if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
                QSKIP("sway skipped: root, and setpriv is not installed");
            QProcess self;
            self.setProcessChannelMode(QProcess::ForwardedChannels);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
            self.setProcessEnvironment(environment);
            self.start(QStringLiteral("setpriv"),
                       {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                        QStringLiteral("sway:") + QString::fromUtf8(QTest::currentDataTag())});
            QVERIFY(self.waitForFinished(100000));
            QCOMPARE(self.exitCode(), 0);
            return;
        }
        qputenv("XDG_CURRENT_DESKTOP", ownSocket ? "sway" : "wlroots");
        if (const QString why = m_session->startSway(ownSocket); !why.isEmpty())
            QSKIP(qPrintable(QStringLiteral("sway skipped: ") + why));
        setsEveryMonitorTwice();
        // One swaybg per output is left; the first change's ones went.
        if (!ownSocket)
            QCOMPARE(HostDesktopSystem().processesWith(QStringLiteral("swaybg"), QString()).size(), 3);
    }

    void unknownDesktopUnderADesktopWindowIsNoSuccess()
    {
        // pcmanfm's windows hide the root that feh would paint.
        if (const QString why = bringUp(QStringLiteral("i3"), QStringLiteral("pcmanfm"), {QStringLiteral("--desktop")});
            !why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(m_session->desktopWindowShown());
        QVERIFY(!setComposite({Qt::red, Qt::green, Qt::blue}));
    }
};

VELMORA_TEST_MAIN(TestDesktopPixels)
#include "test_desktop_pixels.moc"
