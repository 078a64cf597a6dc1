#include "service_fixture.h"
#include "test_main.h"
#include "test_screens.h"
#include "workflow_access.h"

#include "core/change_log.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"
#include "widgets/countdown_widget.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

namespace {

using Access = ModernWindowTestAccess;

// Category "c" with pictures of the given names today (older ones a day back), each its own colour.
bool startService(ServiceFixture& service, const QStringList& today, const QStringList& older = {})
{
    bool ok = service.addCategory("c");
    const QStringList all = today + older;
    for (int i = 0; i < all.size(); ++i)
        ok = ok && !service
                        .addImage("c", QDate::currentDate().addDays(i < today.size() ? 0 : -1), all[i],
                                  QColor::fromHsv(i * 40, 255, 255))
                        .isEmpty();
    return ok && service.start();
}

std::unique_ptr<ModernWindow> makeWindow(const ServiceFixture& service)
{
    auto window = std::make_unique<ModernWindow>(service.windowEnvironment());
    window->setCategoryRating("c", 1);
    window->show();
    return window;
}

bool change(ModernWindow& window)
{
    QTest::mouseClick(Access::changeNowButton(window), Qt::LeftButton);
    return QTest::qWaitFor([&] { return !Access::changeInFlight(window); }, 30000);
}

void clickScreen(ModernWindow& window, int screen)
{
    auto* selector = window.findChild<ScreenSelector*>();
    const int tab = selector->width() / selector->screenCount();
    QTest::mouseClick(selector, Qt::LeftButton, {}, QPoint(tab * screen + tab / 2, selector->height() / 2));
}

// Lines in the screen's own change log.
int changesOf(ModernWindow& window, int screen)
{
    const QString log = window.getHistoryDirectory() + QLatin1Char('/') + Access::screenId(window, screen) + ".log";
    return int(ChangeLog::readEntries(log, screen).size());
}

const QStringList kSevenPictures{"p0.png", "p1.png", "p2.png", "p3.png", "p4.png", "p5.png", "p6.png"};

} // namespace

class TestMultiScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", -1600, 0, 1600, 900}});
        openSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        QDir(PathHelper::getTemporaryDirectory()).removeRecursively();
    }

    void changeGoesToTheSelectedScreensOnly()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, kSevenPictures), qPrintable(service.errorString()));
        auto window = makeWindow(service);
        QVERIFY(change(*window));
        const QString kept = Access::currentWallpaper(*window, 1);

        clickScreen(*window, 1);
        QCOMPARE(Access::status(*window), "Выбраны экраны: 1, 3");
        QVERIFY(change(*window));
        QCOMPARE(Access::status(*window), "Succès !");
        QCOMPARE((QList<int>{changesOf(*window, 0), changesOf(*window, 1), changesOf(*window, 2)}),
                 (QList<int>{2, 1, 2}));
        QCOMPARE(Access::currentWallpaper(*window, 1), kept);
        // Screen 2 shows its earlier picture in the new composite.
        const FakePlatformServices& platform = Access::platform(*window);
        const QImage composite(platform.spannedWallpapers.last());
        QCOMPARE(composite.pixelColor(platform.spannedScreenRects.last().at(1).center()),
                 QImage(kept).pixelColor(5, 5));
    }

    void emptySelectionPausesUntilAScreenOrTheModeComesBack()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, kSevenPictures), qPrintable(service.errorString()));
        openSettings().setValue(QStringLiteral("frequency/combo"), 1);
        QVERIFY(change(*makeWindow(service)));
        // After a restart every screen with a log may be left out.
        auto window = makeWindow(service);
        auto* dial = window->findChild<CountdownWidget*>();
        QPushButton* button = Access::changeNowButton(*window);
        // Deselected while a change runs: the button stays off when it ends.
        QTest::mouseClick(button, Qt::LeftButton);
        for (int screen : {0, 2, 1})
            clickScreen(*window, screen);
        QVERIFY(QTest::qWaitFor([&] { return !Access::changeInFlight(*window); }, 30000));
        QVERIFY(!button->isEnabled());
        QCOMPARE(dial->displayText(), QStringLiteral("PAUSE"));
        // A trigger that finds nothing selected does nothing, and is not remembered.
        Access::onCountdownExpired(*window);
        QCOMPARE(Access::triggerMode(*window), QStringLiteral("Manuel"));

        clickScreen(*window, 1);
        QCOMPARE(Access::status(*window), "Выбран экран: 2");
        QVERIFY(button->isEnabled() && !dial->isPaused());
        clickScreen(*window, 1);
        QCOMPARE(Access::status(*window), "Нет выбранных экранов\nВыберите хотя бы один экран");

        // With nothing selected, leaving the mode brings the button and the dial back.
        auto* multiScreen = window->findChild<ToggleSwitch*>("multiScreenToggle");
        QTest::mouseClick(multiScreen, Qt::LeftButton);
        QCOMPARE(Access::status(*window), "Нажмите, чтобы изменить обои");
        QVERIFY(button->isEnabled() && !dial->isPaused());
        QTest::mouseClick(multiScreen, Qt::LeftButton);
        QVERIFY(!button->isEnabled() && dial->isPaused());
    }

    void lockedScreenTellsWhy()
    {
        ServiceFixture service;
        auto window = makeWindow(service);
        QString shown;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->windowTitle() + QLatin1Char('|') + box->text();
                box->accept();
            }
        });
        clickScreen(*window, 2);
        QVERIFY(shown.startsWith("Экран без истории|Экран 3 нельзя отменить"));
        QCOMPARE(window->findChild<ScreenSelector*>()->getSelectedScreens(), (QList<int>{0, 1, 2}));
    }

    void restartKeepsWhatWasSeen()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}});
        ServiceFixture service;
        QVERIFY2(startService(service, {"today.png"}, {"older.png"}), qPrintable(service.errorString()));
        QVERIFY(change(*makeWindow(service)));
        auto window = makeWindow(service);
        QVERIFY(change(*window));
        QCOMPARE(QFileInfo(Access::currentWallpaper(*window, 0)).fileName(), "older.png");
    }

    // That they last through the day is the change workflow's test.
    void exclusionsEndWithTheDay()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}});
        ServiceFixture service;
        QVERIFY2(startService(service, {"new.png"}), qPrintable(service.errorString()));
        auto window = makeWindow(service);
        Access::excludedCategories(*window) = {"c"};
        Access::excludedCategoriesDay(*window) = QDate::currentDate().addDays(-1);
        QVERIFY(change(*window));
        QCOMPARE(Access::history(*window).size(), 1);
    }
};

VELMORA_TEST_MAIN(TestMultiScreen)
#include "test_multi_screen.moc"
