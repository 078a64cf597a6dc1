#include "canned_https_server.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_screens.h"
#include "test_window.h"
#include "workflow_access.h"

#include "core/change_log.h"
#include "modern_window.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

namespace {

using Access = ModernWindowTestAccess;
const QDateTime base(QDate(2026, 3, 1), QTime(12, 0));

struct Window
{
    FakePlatformServices* platform = nullptr;
    std::unique_ptr<ModernWindow> w;

    explicit Window(const QString& origin = {}, const QList<QSslCertificate>& ca = TestPki::shared().caCertificates())
        : w(std::make_unique<ModernWindow>(testWindowEnvironment(origin, ca, &platform)))
    {
        w->show();
    }
    QPushButton* button(const char* name) const { return w->findChild<QPushButton*>(name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    QList<QPushButton*> thumbnails() const { return w->findChildren<QPushButton*>("historyThumbnail"); }
    QStringList shown() const
    {
        QStringList names;
        for (QPushButton* thumbnail : thumbnails())
            names << thumbnail->property("filename").toString();
        return names;
    }
    QString id(int screen) const { return Access::screenId(*w, screen); }
    QString folder(int screen) const { return PathHelper::getWallpapersDirectory() + '/' + id(screen); }
    QString log(int screen) const { return PathHelper::getHistoryDirectory() + '/' + id(screen) + ".log"; }
    // Logs a change of the screen; with a colour, the picture is filed too.
    void addChange(int screen, const QString& file, const QDateTime& when, const QColor& colour = {})
    {
        QDir().mkpath(PathHelper::getHistoryDirectory());
        ChangeLog::append(log(screen), ChangeLog::formatLine(when, file, "Manuel", "Remplir"));
        if (colour.isValid() && QDir().mkpath(folder(screen)))
            QImage::fromData(ServiceFixture::encodedImage(QSize(64, 36), colour)).save(folder(screen) + '/' + file);
    }
    QString lastTrigger(int screen) const
    {
        return ChangeLog::parseLine(ChangeLog::lastNonEmptyLine(log(screen))).value_or(ChangeLogLine{}).trigger;
    }
    bool showsColours(const QList<QColor>& colours) const { return lastCompositeShows(*platform, colours); }
};

// Notes what the next modal box says, from inside its own loop, then acts on it.
void onNextBox(QString* said, const std::function<void(QMessageBox*)>& act)
{
    QTimer::singleShot(0, [=] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *said = box->windowTitle() + '|' + box->text();
            act(box);
        }
    });
}

} // namespace

class TestHistoryStrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}});
        openSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
    }

    void pagingAndNothingPicked_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("nextPresses");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("prevEnabled");
        QTest::addColumn<bool>("nextEnabled");
        QTest::newRow("ten") << 10 << 0 << QStringList{"e0", "e1", "e2", "e3"} << false << true;
        QTest::newRow("ten, six on") << 10 << 6 << QStringList{"e6", "e7", "e8", "e9"} << true << false;
        QTest::newRow("ten, past the end") << 10 << 9 << QStringList{"e6", "e7", "e8", "e9"} << true << false;
        QTest::newRow("three") << 3 << 1 << QStringList{"e0", "e1", "e2"} << false << false;
        QTest::newRow("none") << 0 << 1 << QStringList{} << false << false;
    }

    void pagingAndNothingPicked()
    {
        QFETCH(int, entries);
        QFETCH(int, nextPresses);
        Window window;
        for (int i = entries - 1; i >= 0; --i)
            window.addChange(0, QStringLiteral("e%1").arg(i), base.addSecs(-60 * i));
        Access::loadHistory(*window.w);
        for (int i = 0; i < nextPresses; ++i)
            window.click("historyNextButton");
        QTEST(window.shown(), "shown");
        QTEST(window.button("historyPrevButton")->isEnabled(), "prevEnabled");
        QTEST(window.button("historyNextButton")->isEnabled(), "nextEnabled");
        auto* empty = window.w->findChild<QLabel*>("historyEmptyLabel");
        QCOMPARE(empty ? empty->text() : QString(), entries ? QString() : "Aucun historique disponible");
        QString said;
        onNextBox(&said, [](QMessageBox* box) { box->accept(); });
        window.click("historyApplyButton");
        QCOMPARE(said, QStringLiteral("Требуется выбор|Пожалуйста, выберите изображение из истории."));
        QVERIFY(window.platform->spannedWallpapers.isEmpty());
    }

    // A link in the thumbnail cache is not followed out of it.
    void linkInTheThumbnailCacheIsNotRead()
    {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/thumbnails";
        const QString outside = PathHelper::getTemporaryDirectory() + "/outside.png";
        QVERIFY(QDir().mkpath(cache) && QDir().mkpath(PathHelper::getTemporaryDirectory()));
        QVERIFY(QImage::fromData(ServiceFixture::encodedImage(QSize(64, 36), Qt::red)).save(outside));
        QVERIFY(QFile::link(outside, cache + "/e0.png"));
        Window window;
        window.addChange(0, "e0.png", base);
        Access::loadHistory(*window.w);
        QVERIFY(window.thumbnails().first()->icon().isNull());
    }

    // The picked file was cleaned away: one press fetches it into screen 1's folder and applies it.
    void pickedFileGoneIsFetchedAndApplied()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory("c"));
        QVERIFY(!service.addImage("c", QDate::currentDate(), "gone.png", Qt::red).isEmpty());
        QVERIFY(!service.addImage("c", QDate::currentDate(), "here.png", Qt::blue).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        Window window(service.origin(), service.caCertificates());
        window.addChange(0, "gone.png", base.addSecs(-60));
        window.addChange(0, "here.png", base, Qt::blue);
        Access::loadHistory(*window.w);
        for (QPushButton* thumbnail : window.thumbnails()) // fetched from the service as well
            QTRY_VERIFY_WITH_TIMEOUT(!thumbnail->icon().isNull(), 15000);

        QTest::mouseClick(window.thumbnails().at(1), Qt::LeftButton);
        QVERIFY(!window.thumbnails().at(0)->isChecked());
        window.click("historyApplyButton");
        QTRY_COMPARE_WITH_TIMEOUT(Access::status(*window.w), QStringLiteral("Обои успешно применены!"), 15000);
        QVERIFY(window.showsColours({Qt::red}));
        QVERIFY(QFile::exists(window.folder(0) + "/gone.png"));
        QCOMPARE(window.lastTrigger(0), QStringLiteral("Historique"));
    }

    void redownloadThatIsNoPictureIsDropped_data()
    {
        QTest::addColumn<QByteArray>("body");
        const QByteArray jpeg = ServiceFixture::encodedImage(QSize(640, 360), Qt::red, "JPEG");
        const QByteArray png = ServiceFixture::encodedImage(QSize(640, 360), Qt::red, "PNG");
        QTest::newRow("error page") << QByteArray("<html><body>502 Bad Gateway</body></html>");
        QTest::newRow("cut-off JPEG") << jpeg.left(jpeg.size() / 2);
        QTest::newRow("cut-off PNG") << png.left(png.size() - 20);
    }

    void redownloadThatIsNoPictureIsDropped()
    {
        QFETCH(QByteArray, body);
        CannedHttpsServer server;
        server.setReply(200, body, "image/jpeg");
        QVERIFY(server.listen());
        Window window(server.origin());
        window.addChange(0, "gone.jpg", base);
        Access::loadHistory(*window.w);
        QStringList finished; // handled in the same emission as the manager's signal
        connect(Access::network(*window.w), &QNetworkAccessManager::finished, this,
                [&](QNetworkReply* reply) { finished << reply->url().path(); });
        QTest::mouseClick(window.thumbnails().first(), Qt::LeftButton);
        window.click("historyApplyButton");
        QTRY_VERIFY_WITH_TIMEOUT(!finished.filter("/get/").isEmpty(), 15000);
        QCOMPARE(Access::status(*window.w), QStringLiteral("Загрузка изображения из API..."));
        QVERIFY(!QFile::exists(window.folder(0) + "/gone.jpg"));
        QVERIFY(window.platform->spannedWallpapers.isEmpty());
    }

    // A scheduled change that ends while the confirmation is open clears the
    // pick and files its own picture in place of the picked one: "Yes" still
    // applies what was picked, fetched again.
    void changeEndingWhileConfirmationIsOpen()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory("c"));
        QVERIFY(!service.addImage("c", QDate::currentDate(), "new.png", Qt::blue).isEmpty());
        QVERIFY(!service.addImage("c", QDate::currentDate().addDays(-1), "s1.png", Qt::green).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}});
        Window window(service.origin(), service.caCertificates());
        window.addChange(0, "s0.png", base, Qt::red);
        window.addChange(1, "s1.png", base.addSecs(60), Qt::green);
        Access::loadHistory(*window.w);
        auto* toggle = window.w->findChild<ToggleSwitch*>("multiScreenToggle");
        toggle->setChecked(false);
        toggle->setChecked(true);
        window.w->setCategoryRating("c", 1);
        QCOMPARE(window.thumbnails().first()->property("filename").toString(), QStringLiteral("s1.png"));
        QTest::mouseClick(window.thumbnails().first(), Qt::LeftButton);

        QString said;
        bool ended = false;
        onNextBox(&said, [&](QMessageBox* box) {
            Access::onCountdownExpired(*window.w);
            ended = QTest::qWaitFor([&] { return !Access::changeInFlight(*window.w); }, 30000);
            box->button(QMessageBox::Yes)->click();
        });
        window.click("historyApplyButton");
        QVERIFY(ended && !said.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(Access::status(*window.w), QStringLiteral("Обои успешно применены!"), 30000);
        QVERIFY(window.showsColours({Qt::green, Qt::green}));
        QCOMPARE((QStringList{window.lastTrigger(0), window.lastTrigger(1)}),
                 (QStringList{"Historique", "Historique"}));
    }

    // Two of three monitors selected: both get the pick (made before paging it out of view) and a
    // "Historique" line; the third keeps its picture. "Don't show again", ticked and answered No:
    // nothing is applied, and the next apply does not ask, also after a restart.
    void multiScreenApplyAndItsConfirmation()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", 3200, 0, 1600, 900}});
        Window window;
        for (int i = 0; i < 4; ++i)
            window.addChange(0, QStringLiteral("old%1").arg(i), base.addDays(-1 - i));
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
        for (int screen = 0; screen < 3; ++screen)
            window.addChange(screen, QStringLiteral("s%1.png").arg(screen), base.addSecs(60 * screen), colours[screen]);
        Access::loadHistory(*window.w);
        auto* toggle = window.w->findChild<ToggleSwitch*>("multiScreenToggle");
        toggle->setChecked(false);
        toggle->setChecked(true);
        auto* selector = window.w->findChild<ScreenSelector*>();
        selector->setScreenCanBeDeselected(0, true); // as the start-up does for monitors with a log
        QTest::mouseClick(selector, Qt::LeftButton, {}, QPoint(selector->width() / 6, selector->height() / 2));
        QCOMPARE(selector->getSelectedScreens(), (QList<int>{1, 2}));

        QTest::mouseClick(window.thumbnails().first(), Qt::LeftButton); // s2.png, the newest
        for (const char* arrow : {"historyNextButton", "historyNextButton", "historyPrevButton"})
            window.click(arrow);
        QVERIFY(!window.shown().contains("s2.png"));
        QString said;
        onNextBox(&said, [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        window.click("historyApplyButton");
        QCOMPARE(said, QStringLiteral("Применение на несколько экранов|Обои будут применены к 2 выбранным экранам."));
        QVERIFY(Access::settle(*window.w) && window.showsColours({Qt::red, Qt::blue, Qt::blue}));
        QCOMPARE((QStringList{window.lastTrigger(0), window.lastTrigger(1), window.lastTrigger(2)}),
                 (QStringList{"Manuel", "Historique", "Historique"}));

        QTest::mouseClick(window.thumbnails().at(2), Qt::LeftButton);
        onNextBox(&said, [](QMessageBox* box) { box->checkBox()->click(), box->button(QMessageBox::No)->click(); });
        window.click("historyApplyButton");
        QVERIFY(Access::settle(*window.w));
        QCOMPARE(window.platform->spannedWallpapers.size(), 1);
        said.clear();
        onNextBox(&said, [](QMessageBox* box) { box->reject(); });
        window.click("historyApplyButton");
        QVERIFY(Access::settle(*window.w) && said.isEmpty());
        QCOMPARE(window.platform->spannedWallpapers.size(), 2);

        // A restart remembers the answer. The start-up clean-up keeps only each
        // monitor's current picture: pick one of those.
        Window restarted;
        for (QPushButton* thumbnail : restarted.thumbnails()) {
            const int screen = thumbnail->property("screenIndex").toInt();
            if (QFile::exists(restarted.folder(screen) + '/' + thumbnail->property("filename").toString())) {
                QTest::mouseClick(thumbnail, Qt::LeftButton);
                break;
            }
        }
        onNextBox(&said, [](QMessageBox* box) { box->reject(); });
        restarted.click("historyApplyButton");
        QVERIFY(Access::settle(*restarted.w) && said.isEmpty());
        QCOMPARE(restarted.platform->spannedWallpapers.size(), 1);
    }
};

VELMORA_TEST_MAIN(TestHistoryStrip)
#include "test_history_strip.moc"
