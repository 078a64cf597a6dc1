#include "service_fixture.h"
#include "test_main.h"
#include "test_screens.h"

#include "core/change_hook.h"
#include "core/settings_keys.h"
#include "modern_window.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

class ModernWindowTestAccess
{
public:
    static QPushButton* changeNowButton(ModernWindow& w) { return w.changeNowButton; }
    static bool changeInFlight(ModernWindow& w) { return w.currentMultiDownload != nullptr; }
    static QString status(ModernWindow& w) { return w.statusLabel->text(); }
    static QString current(ModernWindow& w, int screen) { return w.getCurrentWallpaperFromLog(screen); }
    static QString screenId(ModernWindow& w, int screen) { return w.getScreenUniqueId(screen); }
    static void loadHistory(ModernWindow& w) { w.populateHistoryScreenCombo(); }
    static QWidget* strip(ModernWindow& w) { return w.historyCarouselWidget; }
    static PictureMarks& marks(ModernWindow& w) { return w.pictureMarks(); }
    static ChangeHook& hook(ModernWindow& w)
    {
        if (!w.changeHook)
            w.changeHook = new ChangeHook(&w);
        return *w.changeHook;
    }
    // Waits until every queued filing job has delivered.
    static bool filed(ModernWindow& w)
    {
        bool done = false;
        w.filingJobs.run(
            &w, [] { return true; }, [&](bool) { done = true; });
        return QTest::qWaitFor([&] { return done; }, 30000);
    }
};

namespace {

using Access = ModernWindowTestAccess;

bool changeNow(ModernWindow& window)
{
    if (!QTest::qWaitFor([&] { return !Access::changeInFlight(window); }, 30000))
        return false;
    QTest::mouseClick(Access::changeNowButton(window), Qt::LeftButton);
    return QTest::qWaitFor([&] { return !Access::changeInFlight(window); }, 30000) &&
           Access::status(window) == QStringLiteral("Succès !");
}

QString currentName(ModernWindow& window, int screen = 0)
{
    return QFileInfo(Access::current(window, screen)).fileName();
}

bool startService(ServiceFixture& service, int pictures)
{
    if (!service.addCategory(QStringLiteral("c")))
        return false;
    for (int i = 0; i < pictures; ++i) {
        if (service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p%1.png").arg(i)).isEmpty())
            return false;
    }
    return service.start();
}

std::unique_ptr<ModernWindow> makeWindow(const ServiceFixture& service)
{
    auto window = std::make_unique<ModernWindow>(service.windowEnvironment());
    window->setCategoryRating(QStringLiteral("c"), 1);
    return window;
}

void setHook(const QString& commandLine)
{
    openSettings().setValue(SettingsKeys::ChangeHook, commandLine);
}

} // namespace

class TestMarksWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        openSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
    }

    void neverAgainKeepsThePictureOut_data()
    {
        QTest::addColumn<int>("pictures");
        QTest::addColumn<int>("draws");
        // More pictures than the screen's history holds: the draw alone must keep it out.
        QTest::newRow("fifty draws") << 10 << 50;
        // The category soon has nothing new: the screen's history feeds the draws.
        QTest::newRow("history fallback") << 3 << 30;
    }

    void neverAgainKeepsThePictureOut()
    {
        QFETCH(int, pictures);
        QFETCH(int, draws);
        ServiceFixture service;
        QVERIFY2(startService(service, pictures), qPrintable(service.errorString()));
        auto window = makeWindow(service);
        for (int i = 0; i < 30 && currentName(*window) != QStringLiteral("p0.png"); ++i)
            QVERIFY(changeNow(*window));
        QCOMPARE(currentName(*window), QStringLiteral("p0.png"));

        ShownText why;
        QVERIFY2(window->markNeverAgain(0, &why), qPrintable(why.toString()));
        // The screen showing it changes at once.
        QVERIFY(Access::changeInFlight(*window));
        QVERIFY(QTest::qWaitFor([&] { return !Access::changeInFlight(*window); }, 30000));
        QVERIFY(currentName(*window) != QStringLiteral("p0.png"));

        QStringList drawn;
        for (int i = 0; i < draws; ++i) {
            QVERIFY2(changeNow(*window), qPrintable(Access::status(*window)));
            drawn.append(currentName(*window));
        }
        QVERIFY2(!drawn.contains(QStringLiteral("p0.png")), qPrintable(drawn.join(QLatin1Char(' '))));
    }

    void favouriteSurvivesRestart()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 1), qPrintable(service.errorString()));
        {
            auto window = makeWindow(service);
            QVERIFY(changeNow(*window));
            Access::loadHistory(*window);
            auto* thumbnail = Access::strip(*window)->findChild<QPushButton*>(QStringLiteral("historyThumbnail"));
            QVERIFY(thumbnail);
            QVERIFY(!thumbnail->findChild<QLabel*>(QStringLiteral("favouriteStar")));
            Q_EMIT thumbnail->customContextMenuRequested(QPoint(10, 10));
            auto* menu = thumbnail->findChild<QMenu*>(QStringLiteral("historyThumbnailMenu"));
            QVERIFY(menu);
            menu->findChild<QAction*>(QStringLiteral("addFavouriteAction"))->trigger();
            QVERIFY(thumbnail->findChild<QLabel*>(QStringLiteral("favouriteStar")));
            QVERIFY(Access::filed(*window));
        }
        const QString copy = PathHelper::getFavouritesDirectory() + QStringLiteral("/p0.png");
        QVERIFY(QFileInfo(copy).isFile());
        QVERIFY(!QImage(copy).isNull());

        auto window = makeWindow(service);
        Access::loadHistory(*window);
        auto* thumbnail = Access::strip(*window)->findChild<QPushButton*>(QStringLiteral("historyThumbnail"));
        QVERIFY(thumbnail);
        QVERIFY(thumbnail->findChild<QLabel*>(QStringLiteral("favouriteStar")));
        QVERIFY(Access::marks(*window).isFavourite(QStringLiteral("p0.png")));
    }

    void hookGetsTheScreensAndTheComposite()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}, {QStringLiteral("B"), 1920, 0, 1280, 1024}});
        ServiceFixture service;
        QVERIFY2(startService(service, 3), qPrintable(service.errorString()));
        QTemporaryDir folder;
        // A space in the path and a quoted argument: split as a command line, no shell in between.
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("hook dir"))));
        const QString script = folder.filePath(QStringLiteral("hook dir/hook.sh"));
        const QString out = folder.filePath(QStringLiteral("hook dir/out.txt"));
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n{ echo \"ARG1=$1\"; echo \"ARG2=$2\"; env | grep '^VELMORA_SCREEN_' | sort; } > \"" +
                   QFile::encodeName(out) + ".part\"\nmv \"" + QFile::encodeName(out) + ".part\" \"" +
                   QFile::encodeName(out) + "\"\necho done\n");
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
        auto window = makeWindow(service);
        // Typed into the settings tab and saved, as a user would.
        QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("changeHookEdit")),
                         QStringLiteral("\"%1\" \"two words\"").arg(script));
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("applyButton")), Qt::LeftButton);
        QList<ChangeHook::Report> reports;
        connect(&Access::hook(*window), &ChangeHook::finished, this,
                [&](const ChangeHook::Report& report) { reports.append(report); });
        QVERIFY(changeNow(*window));
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 30000);
        QCOMPARE(reports.first().outcome, ChangeHook::Outcome::Exited);
        QCOMPARE(reports.first().firstLines, QStringList{QStringLiteral("done")});

        QFile result(out);
        QVERIFY(result.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(result.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QString composite = PathHelper::getTemporaryDirectory() + QStringLiteral("/composite_wallpaper.bmp");
        QCOMPARE(lines, (QStringList{QStringLiteral("ARG1=two words"), QStringLiteral("ARG2=") + composite,
                                     QStringLiteral("VELMORA_SCREEN_1_ID=") + Access::screenId(*window, 0),
                                     QStringLiteral("VELMORA_SCREEN_1_PICTURE=") + Access::current(*window, 0),
                                     QStringLiteral("VELMORA_SCREEN_2_ID=") + Access::screenId(*window, 1),
                                     QStringLiteral("VELMORA_SCREEN_2_PICTURE=") + Access::current(*window, 1)}));
        QVERIFY(!Access::current(*window, 1).isEmpty());
    }

    void hungHookIsKilledAndTheNextChangeRuns()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 3), qPrintable(service.errorString()));
        setHook(QStringLiteral("/bin/sh -c \"exec sleep 600\""));
        auto window = makeWindow(service);
        ChangeHook& hook = Access::hook(*window);
        hook.setTimeLimit(3000);
        QList<ChangeHook::Report> reports;
        connect(&hook, &ChangeHook::finished, this, [&](const ChangeHook::Report& report) { reports.append(report); });

        QVERIFY(changeNow(*window));
        const QString first = currentName(*window);
        // The hung command holds nothing up.
        QVERIFY(changeNow(*window));
        QVERIFY(currentName(*window) != first);
        QCOMPARE(hook.running() + reports.size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 2, 60000);
        for (const ChangeHook::Report& report : std::as_const(reports))
            QCOMPARE(report.outcome, ChangeHook::Outcome::Killed);
        QCOMPARE(hook.running(), 0);
    }
};

VELMORA_TEST_MAIN(TestMarksWindow)
#include "test_marks_window.moc"
