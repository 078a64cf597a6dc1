// The program's staged start: what the constructor leaves for after the first
// frame is built all the same, the strip comes once the logs are read, and
// what asks for a part not yet built is served.

#include "history_fixture.h"
#include "test_main.h"

#include "core/categories_cache.h"
#include "core/remote_command.h"

#include <QAction>
#include <QJsonObject>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

constexpr int timeoutMs = 30000;
constexpr int cachedCategories = 30;

std::unique_ptr<ModernWindow> stagedWindow()
{
    WindowEnvironment env = testWindowEnvironment();
    env.stagedStart = true;
    return std::make_unique<ModernWindow>(std::move(env));
}

// The widget names whose counts differ between the two windows, with the difference.
QStringList differences(const ModernWindow& window, const ModernWindow& reference)
{
    QMap<QString, int> counts;
    for (const QWidget* widget : window.findChildren<QWidget*>())
        ++counts[widget->objectName()];
    for (const QWidget* widget : reference.findChildren<QWidget*>())
        --counts[widget->objectName()];
    QStringList different;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() != 0 && !it.key().isEmpty() && !it.key().startsWith(QLatin1String("qt_")))
            different << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    }
    return different;
}

QStringList tabTexts(const ModernWindow& window)
{
    const auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
    return texts;
}

} // namespace

class TestStagedStart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        wipeStorage();
        QJsonArray categories;
        for (int i = 0; i < cachedCategories; ++i)
            categories.append(
                QJsonObject{{"id", QStringLiteral("c%1").arg(i)}, {"name", QStringLiteral("c%1").arg(i)}});
        QVERIFY(CategoriesCache::write(PathHelper::getCategoriesCachePath(), {categories, 1, {}}));
        // Six changes of the first screen: the strip shows four of them.
        auto complete = makeHistoryWindow();
        for (int i = 0; i < 6; ++i)
            complete->log(0, QStringLiteral("picture%1.jpg").arg(i), QStringLiteral("manual"), QStringLiteral("fill"));
    }

    // On Windows the settings are the registry every suite shares: the pause set here goes with the rest.
    void cleanupTestCase() { wipeStorage(); }

    void endsWithTheCompleteWindow()
    {
        auto complete = makeHistoryWindow();
        QTRY_COMPARE_WITH_TIMEOUT(complete.window->findChildren<QWidget*>(QStringLiteral("categoryFrame")).size(),
                                  cachedCategories, timeoutMs);

        auto staged = stagedWindow();
        staged->show();
        // The first frame shows the tab bar whole; the strip waits for the logs' worker.
        QCOMPARE(tabTexts(*staged), tabTexts(*complete.window));
        QVERIFY(staged->findChildren<QPushButton*>(QStringLiteral("historyThumbnail")).isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(differences(*staged, *complete.window), QStringList(), timeoutMs);
        QCOMPARE(staged->findChildren<QPushButton*>(QStringLiteral("historyThumbnail")).size(), 4);
        QCOMPARE(tabTexts(*staged), tabTexts(*complete.window));
    }

    void tabPickedBeforeItIsBuiltIsShown()
    {
        auto staged = stagedWindow();
        staged->show();
        auto* tabs = staged->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
        tabs->setCurrentIndex(2);
        QTRY_VERIFY_WITH_TIMEOUT(tabs->currentWidget()->objectName() == QLatin1String("settingsPage"), timeoutMs);
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(tabs->count(), 3);
    }

    void commandBeforeTheEndIsServed()
    {
        // Hidden, as in the tray: nothing is built yet when the command comes.
        auto staged = stagedWindow();
        RemoteCommand pause;
        pause.kind = RemoteCommand::Kind::Pause;
        pause.pauseSeconds = 3600;
        const RemoteReply reply = staged->runRemoteCommand(pause);
        QCOMPARE(reply.exitCode, RemoteReply::Done);
        const auto* resume = staged->findChild<QAction*>(QStringLiteral("trayResumeAction"));
        QVERIFY(resume);
        QVERIFY(resume->isVisible());
    }
};

VELMORA_TEST_MAIN(TestStagedStart)
#include "test_staged_start.moc"
