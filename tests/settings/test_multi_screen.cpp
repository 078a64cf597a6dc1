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

const QList<QColor> kColours{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta, Qt::white};

std::unique_ptr<ModernWindow> makeWindow(const ServiceFixture& service)
{
    auto window = std::make_unique<ModernWindow>(service.windowEnvironment());
    window->setCategoryRating(QStringLiteral("c"), 1);
    window->show();
    return window;
}

// Category "c" with one picture of each colour today.
bool startColours(ServiceFixture& service)
{
    if (!service.addCategory(QStringLiteral("c")))
        return false;
    for (int i = 0; i < kColours.size(); ++i) {
        if (service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p%1.png").arg(i), kColours[i])
                .isEmpty())
            return false;
    }
    return service.start();
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

int logLines(ModernWindow& window, int screen)
{
    const QString log = window.getHistoryDirectory() + QLatin1Char('/') + Access::screenId(window, screen) + ".log";
    return int(ChangeLog::readEntries(log, screen).size());
}

} // namespace

class TestMultiScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080},
                            {QStringLiteral("B"), 1920, 0, 1280, 1024},
                            {QStringLiteral("C"), -1600, 0, 1600, 900}});
        openSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        QDir(PathHelper::getTemporaryDirectory()).removeRecursively();
    }

    void changeGoesToTheSelectedScreensOnly()
    {
        ServiceFixture service;
        QVERIFY2(startColours(service), qPrintable(service.errorString()));
        auto window = makeWindow(service);
        QVERIFY(change(*window));
        const QString kept = Access::currentWallpaper(*window, 1);
        QVERIFY(!kept.isEmpty());

        clickScreen(*window, 1);
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Выбраны экраны: 1, 3"));
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Получение 2 случайных изображений..."));
        QVERIFY(QTest::qWaitFor([&] { return !Access::changeInFlight(*window); }, 30000));
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Succès !"));

        QCOMPARE(logLines(*window, 0), 2);
        QCOMPARE(logLines(*window, 1), 1);
        QCOMPARE(logLines(*window, 2), 2);
        QCOMPARE(Access::currentWallpaper(*window, 1), kept);
        // Screen 2 keeps its picture in the new composite.
        const FakePlatformServices& platform = Access::platform(*window);
        QCOMPARE(platform.spannedWallpapers.size(), 2);
        const QImage composite(platform.spannedWallpapers.last());
        const QColor shown = composite.pixelColor(platform.spannedScreenRects.last().at(1).center());
        QCOMPARE(shown, QImage(kept).pixelColor(5, 5));
    }

    void emptySelectionPausesUntilAScreenOrTheModeComesBack()
    {
        ServiceFixture service;
        QVERIFY2(startColours(service), qPrintable(service.errorString()));
        openSettings().setValue(QStringLiteral("frequency/combo"), 1);
        auto window = makeWindow(service);
        QVERIFY(change(*window));
        // A restart: every screen has a log now, so each may be left out.
        window = makeWindow(service);
        auto* dial = window->findChild<CountdownWidget*>();
        QPushButton* button = Access::changeNowButton(*window);
        for (int screen : {0, 2, 1})
            clickScreen(*window, screen);
        QVERIFY(!button->isEnabled());
        QCOMPARE(dial->displayText(), QStringLiteral("PAUSE"));
        QCOMPARE(Access::statusLabel(*window)->text(),
                 QStringLiteral("Нет выбранных экранов\nВыберите хотя бы один экран"));

        clickScreen(*window, 1);
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Выбран экран: 2"));
        QVERIFY(button->isEnabled());
        QCOMPARE(dial->displayText(), QStringLiteral("1h 0m"));

        clickScreen(*window, 1);
        auto* multiScreen = window->findChild<ToggleSwitch*>(QStringLiteral("multiScreenToggle"));
        QTest::mouseClick(multiScreen, Qt::LeftButton);
        QVERIFY(window->findChild<ScreenSelector*>()->isHidden());
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Нажмите, чтобы изменить обои"));
        QVERIFY(button->isEnabled());
        QCOMPARE(dial->displayText(), QStringLiteral("1h 0m"));
        QTest::mouseClick(multiScreen, Qt::LeftButton);
        QVERIFY(!button->isEnabled());
    }

    void lockedScreenTellsWhy()
    {
        ServiceFixture service;
        auto window = makeWindow(service);
        QString title;
        QString text;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                text = box->text();
                box->accept();
            }
        });
        clickScreen(*window, 2);
        QCOMPARE(title, QStringLiteral("Экран без истории"));
        QVERIFY(text.startsWith(QStringLiteral("Экран 3 нельзя отменить")));
        QCOMPARE(window->findChild<ScreenSelector*>()->getSelectedScreens(), (QList<int>{0, 1, 2}));
    }

    void restartKeepsWhatWasSeen()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("c")));
        QVERIFY(!service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("today.png")).isEmpty());
        QVERIFY(!service.addImage(QStringLiteral("c"), QDate::currentDate().addDays(-1), QStringLiteral("older.png"))
                     .isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        QVERIFY(change(*makeWindow(service)));
        auto window = makeWindow(service);
        QVERIFY(change(*window));
        QCOMPARE(QFileInfo(Access::currentWallpaper(*window, 0)).fileName(), QStringLiteral("older.png"));
    }

    void exclusionsEndWithTheDay_data()
    {
        QTest::addColumn<int>("daysSinceLastChange");
        QTest::addColumn<QString>("result");
        QTest::newRow("same day") << 0 << QString();
        QTest::newRow("next day") << 1 << QStringLiteral("Succès !");
    }

    void exclusionsEndWithTheDay()
    {
        QFETCH(int, daysSinceLastChange);
        QFETCH(QString, result);
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        ServiceFixture service;
        QVERIFY2(startColours(service), qPrintable(service.errorString()));
        auto window = makeWindow(service);
        Access::excludedCategories(*window) = {QStringLiteral("c")};
        Access::excludedCategoriesDay(*window) = QDate::currentDate().addDays(-daysSinceLastChange);
        QVERIFY(change(*window));
        if (result.isEmpty())
            QVERIFY(Access::lastApiError(*window).startsWith(QStringLiteral("Aucun wallpaper disponible")));
        else
            QCOMPARE(Access::statusLabel(*window)->text(), result);
    }
};

VELMORA_TEST_MAIN(TestMultiScreen)
#include "test_multi_screen.moc"
