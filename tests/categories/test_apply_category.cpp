#include "canned_https_server.h"
#include "categories_access.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_screens.h"
#include "test_window.h"

#include "utils/date_helper.h"
#include "utils/settings_store.h"
#include "widgets/toggle_switch.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTimer>

using namespace categories_test;
using Access = ModernWindowTestAccess;

namespace {

constexpr int timeoutMs = 30000;
const QString applied = QStringLiteral("Обои успешно применены!");

// Hovers the category's tile, clicks "Применить" and, inside the modal
// dialog, picks the screen (when asked) and clicks the button named action.
// Returns the screen choices the dialog offered.
QStringList applyFromTile(ModernWindow& window, const QString& id, const QString& action, int screen = 0)
{
    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (auto* combo = dialog->findChild<QComboBox*>("screenCombo")) {
            for (int i = 0; i < combo->count(); ++i)
                offered << combo->itemText(i);
            combo->setCurrentIndex(screen);
        }
        QTest::mouseClick(dialog->findChild<QPushButton*>(action), Qt::LeftButton);
    });
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(tiles(window).first(), &enter);
    QTest::mouseClick(named<QPushButton>(window, QStringLiteral("applyBtn_") + id), Qt::LeftButton);
    return offered;
}

std::unique_ptr<ModernWindow> shownWindow(WindowEnvironment environment)
{
    auto window = std::make_unique<ModernWindow>(std::move(environment));
    window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
    window->show();
    return window;
}

} // namespace

class TestApplyCategory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        openSettings().clear();
        wipeProfile();
    }

    void appliesToTheChosenScreen_data()
    {
        QTest::addColumn<int>("screens");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("expectedFile");
        QTest::newRow("1 screen, preview") << 1 << "applyThumbnailBtn"
                                           << "preview.png";
        QTest::newRow("1 screen, random four days back") << 1 << "applyRandomBtn"
                                                         << "old.png";
        QTest::newRow("3 screens, preview") << 3 << "applyThumbnailBtn"
                                            << "preview.png";
        QTest::newRow("3 screens, random four days back") << 3 << "applyRandomBtn"
                                                          << "old.png";
    }

    void appliesToTheChosenScreen()
    {
        QFETCH(int, screens);
        QFETCH(QString, action);
        QFETCH(QString, expectedFile);
        if (screens == 3) {
            TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080},
                                {QStringLiteral("B"), 1920, 0, 1280, 1024},
                                {QStringLiteral("C"), -1600, 0, 1600, 900}});
        }
        ServiceFixture service;
        const QDate today = QDate::currentDate();
        QVERIFY(service.addCategory("sea", "Море", "preview.png"));
        QVERIFY(!service.addImage("sea", today.addDays(-4), "old.png", Qt::red).isEmpty());
        QVERIFY(!service.addImage("sea", today.addDays(-9), "preview.png", Qt::blue).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));

        auto window = shownWindow(service.windowEnvironment());
        QTRY_VERIFY_WITH_TIMEOUT(!tiles(*window).isEmpty(), timeoutMs);
        // Screen 1 shows a picture of its own; screen 3 has none yet.
        const QString earlier = window->getWallpapersDirectory() + QStringLiteral("/earlier.png");
        QVERIFY(QImage(QSize(32, 18), QImage::Format_RGB32).save(earlier));
        Access::screenHistory(*window)[0] = {earlier};

        const int target = screens == 3 ? 1 : 0;
        const QStringList offered = applyFromTile(*window, "sea", action, target);
        QCOMPARE(offered, screens == 3 ? (QStringList{"Экран 1", "Экран 2", "Экран 3"}) : QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(Access::statusLabel(*window)->text(), applied, timeoutMs);

        const QString filed = window->getWallpapersDirectory() + QLatin1Char('/') + Access::screenId(*window, target) +
                              QLatin1Char('/') + expectedFile;
        QVERIFY2(QFileInfo::exists(filed), qPrintable(filed));
        const FakePlatformServices& platform = Access::platform(*window);
        if (screens == 1) {
            QCOMPARE(platform.wallpapers, QList<QString>{filed});
        } else {
            QCOMPARE(platform.spannedWallpapers.size(), 1);
        }
        if (action == "applyRandomBtn")
            QCOMPARE(service.log().count("/wallpapers?category=sea"), 5);
    }

    void walkAndRepliesThatApplyNothing_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<int>("listQueries");
        QTest::newRow("nothing in eight days") << "applyRandomBtn" << QByteArray(R"({"success":true,"data":[]})") << 8;
        QTest::newRow("refused") << "applyRandomBtn" << QByteArray(R"({"success":false,"error":"x"})") << 1;
        QTest::newRow("unsafe name") << "applyRandomBtn"
                                     << QByteArray(R"({"success":true,"data":[{"filename":"../evil.png"}]})") << 1;
        QTest::newRow("preview not an image") << "applyThumbnailBtn" << QByteArray() << 0;
    }

    void walkAndRepliesThatApplyNothing()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, list);
        QFETCH(int, listQueries);
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray& target) -> CannedHttpsServer::Answer {
            if (target.endsWith("/categories"))
                return {200, R"({"success":true,"timestamp":1,"data":[{"id":"sea","thumbnail":"sea.png"}]})"};
            if (target.contains("/wallpapers?"))
                return {200, list};
            return {200, "<html>no picture</html>", "text/html"};
        });
        QVERIFY(server.listen());
        auto window = shownWindow(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        QTRY_VERIFY_WITH_TIMEOUT(!tiles(*window).isEmpty(), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QNetworkAccessManager*>()->findChildren<QNetworkReply*>().isEmpty(),
                                 timeoutMs);
        const QString statusBefore = Access::statusLabel(*window)->text();

        auto* network = window->findChild<QNetworkAccessManager*>();
        QSignalSpy finished(network, &QNetworkAccessManager::finished);
        applyFromTile(*window, "sea", action);
        const int expectedReplies = listQueries + (action == "applyThumbnailBtn" ? 1 : 0);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), expectedReplies, timeoutMs);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Nothing more is on its way, nothing was applied.
        QVERIFY(network->findChildren<QNetworkReply*>().isEmpty());
        QCOMPARE(finished.count(), expectedReplies);
        QCOMPARE(Access::statusLabel(*window)->text(), statusBefore);
        QVERIFY(Access::platform(*window).wallpapers.isEmpty());
        for (const QByteArray& request : server.requests())
            QVERIFY2(!request.contains("evil"), request.constData());
    }
};

VELMORA_TEST_MAIN(TestApplyCategory)
#include "test_apply_category.moc"
