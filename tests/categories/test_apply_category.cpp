#include "canned_https_server.h"
#include "categories_access.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_screens.h"
#include "test_window.h"

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

const QString notApplied = QStringLiteral("Не удалось применить обои");

// Points at the first tile, clicks "Применить" and, in the dialog, picks the
// screen (when offered) and clicks the button named action. Returns the screens offered.
QStringList applyFromTile(ModernWindow& window, const QString& action, int screen = 0)
{
    QStringList offered;
    if (!QTest::qWaitFor([&] { return !tiles(window).isEmpty(); }, timeoutMs))
        return offered;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (auto* combo = dialog->findChild<QComboBox*>("screenCombo")) {
            for (int i = 0; i < combo->count(); ++i)
                offered << combo->itemText(i);
            combo->setCurrentIndex(screen);
        }
        QTest::mouseClick(dialog->findChild<QPushButton*>(action), Qt::LeftButton);
    });
    send(tiles(window).first(), QEvent::Enter);
    QTest::mouseClick(window.findChild<QPushButton*>("applyBtn_sea"), Qt::LeftButton);
    return offered;
}

} // namespace

class TestApplyCategory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}});
        wipeProfile();
    }

    void appliesToTheChosenScreen_data()
    {
        QTest::addColumn<int>("screens");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("expectedFile");
        for (int screens : {1, 3}) {
            QTest::addRow("%d screen(s), preview", screens) << screens << "applyThumbnailBtn"
                                                            << "preview.png";
            QTest::addRow("%d screen(s), random four days back", screens) << screens << "applyRandomBtn"
                                                                          << "old.png";
        }
    }

    void appliesToTheChosenScreen()
    {
        QFETCH(int, screens);
        QFETCH(QString, action);
        QFETCH(QString, expectedFile);
        if (screens == 3)
            TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", -1600, 0, 1600, 900}});
        ServiceFixture service;
        QVERIFY(service.addCategory("sea", "Море", "preview.png"));
        QVERIFY(!service.addImage("sea", QDate::currentDate().addDays(-4), "old.png", Qt::red).isEmpty());
        QVERIFY(!service.addImage("sea", QDate::currentDate().addDays(-9), "preview.png", Qt::blue).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        auto window = categoriesTab(service.windowEnvironment());
        // Screen 1 shows a picture of its own; screen 3 has none yet.
        const QString earlier = window->getWallpapersDirectory() + "/earlier.png";
        QVERIFY(QImage(QSize(32, 18), QImage::Format_RGB32).save(earlier));
        Access::screenHistory(*window)[0] = {earlier};

        const int target = screens == 3 ? 1 : 0;
        const QStringList offered = applyFromTile(*window, action, target);
        QCOMPARE(offered, screens == 3 ? (QStringList{"Экран 1", "Экран 2", "Экран 3"}) : QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(Access::statusLabel(*window)->text(), QStringLiteral("Обои успешно применены!"),
                                  timeoutMs);
        const QString filed =
            window->getWallpapersDirectory() + '/' + Access::screenId(*window, target) + '/' + expectedFile;
        QVERIFY2(QFileInfo::exists(filed), qPrintable(filed));
        const FakePlatformServices& platform = Access::platform(*window);
        QCOMPARE(platform.wallpapers, screens == 1 ? QList<QString>{filed} : QList<QString>{});
        QCOMPARE(platform.spannedWallpapers.size(), screens == 1 ? 0 : 1);
        // Today, then one day back at a time.
        QCOMPARE(service.log().count("/wallpapers?category=sea"), action == "applyRandomBtn" ? 5 : 0);
    }

    // Three screens: the composite with the others' latest pictures is no success
    // when the desktop refuses it or one of those pictures is gone.
    void multiScreenApplyReportsTheAnswer_data()
    {
        QTest::addColumn<bool>("desktopAccepts");
        QTest::addColumn<bool>("othersPictureExists");
        QTest::newRow("desktop refuses") << false << true;
        QTest::newRow("another screen's picture gone") << true << false;
    }

    void multiScreenApplyReportsTheAnswer()
    {
        QFETCH(bool, desktopAccepts);
        QFETCH(bool, othersPictureExists);
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", -1600, 0, 1600, 900}});
        ServiceFixture service;
        QVERIFY(service.addCategory("sea", "Море", "preview.png"));
        QVERIFY(!service.addImage("sea", QDate::currentDate(), "preview.png", Qt::blue).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        auto window = categoriesTab(service.windowEnvironment());
        const QString earlier = window->getWallpapersDirectory() + "/earlier.png";
        if (othersPictureExists)
            QVERIFY(QImage(QSize(32, 18), QImage::Format_RGB32).save(earlier));
        Access::screenHistory(*window)[0] = {earlier};
        Access::platform(*window).spannedResult = desktopAccepts;

        applyFromTile(*window, "applyThumbnailBtn", 1);
        QTRY_COMPARE_WITH_TIMEOUT(Access::statusLabel(*window)->text(), notApplied, timeoutMs);
        QVERIFY(Access::settle(*window));
        QCOMPARE(Access::statusLabel(*window)->text(), notApplied);
    }

    void repliesThatApplyNothing_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<int>("replies");
        QTest::newRow("nothing in eight days") << "applyRandomBtn" << QByteArray(R"({"success":true,"data":[]})") << 8;
        QTest::newRow("refused") << "applyRandomBtn" << QByteArray(R"({"success":false})") << 1;
        QTest::newRow("unsafe name") << "applyRandomBtn"
                                     << QByteArray(R"({"success":true,"data":[{"filename":"../x.png"}]})") << 1;
        QTest::newRow("preview not an image") << "applyThumbnailBtn" << QByteArray() << 1;
        // The preview is a picture this time, but the desktop refuses it.
        QTest::newRow("desktop refuses") << "applyThumbnailBtn" << QByteArray("refuse") << 1;
        // Qt would show this one grey below where it stops: it must not be applied.
        QTest::newRow("picture cut short") << "applyThumbnailBtn" << QByteArray("cut") << 1;
    }

    void repliesThatApplyNothing()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, list);
        QFETCH(int, replies);
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray& target) -> CannedHttpsServer::Answer {
            if (target.endsWith("/categories"))
                return {200, R"({"success":true,"timestamp":1,"data":[{"id":"sea","thumbnail":"sea.png"}]})"};
            if (list == "refuse" && target.endsWith("/get/sea.png"))
                return {200, ServiceFixture::encodedImage(QSize(16, 9), Qt::red), "image/png"};
            if (list == "cut" && target.endsWith("/get/sea.png")) {
                const QByteArray jpeg = ServiceFixture::encodedImage(QSize(64, 36), Qt::red, "JPEG");
                return {200, jpeg.left(jpeg.size() - 8), "image/jpeg"};
            }
            return {200, target.contains("/wallpapers?") ? list : "<html>no picture</html>"};
        });
        QVERIFY(server.listen());
        auto window = categoriesTab(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        auto* network = window->findChild<QNetworkAccessManager*>();
        // The catalogue and the tile's thumbnail (asked for once the tile is in view) come and go first.
        const auto thumbnailAsked = [&server] {
            const auto requests = server.requests();
            return std::any_of(requests.cbegin(), requests.cend(),
                               [](const QByteArray& request) { return request.contains("/mini/"); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(!tiles(*window).isEmpty() && thumbnailAsked() &&
                                     network->findChildren<QNetworkReply*>().isEmpty(),
                                 timeoutMs);
        const QString status = Access::statusLabel(*window)->text();
        Access::platform(*window).wallpaperResult = false;

        QSignalSpy finished(network, &QNetworkAccessManager::finished);
        applyFromTile(*window, action);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), replies, timeoutMs);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(Access::settle(*window));
        // Nothing more is on its way, nothing was applied or asked for by that name.
        QVERIFY(network->findChildren<QNetworkReply*>().isEmpty());
        QCOMPARE(Access::statusLabel(*window)->text(), list == "refuse" ? notApplied : status);
        QCOMPARE(Access::platform(*window).wallpapers.size(), list == "refuse" ? 1 : 0);
        for (const QByteArray& request : server.requests())
            QVERIFY2(!request.contains("x.png"), request.constData());
    }
};

VELMORA_TEST_MAIN(TestApplyCategory)
#include "test_apply_category.moc"
