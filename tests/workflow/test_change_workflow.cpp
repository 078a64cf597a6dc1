#include "canned_https_server.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_screens.h"
#include "test_window.h"
#include "workflow_access.h"

#include "utils/date_helper.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>
#include <QUrlQuery>

namespace {

using Access = ModernWindowTestAccess;

constexpr int changeTimeoutMs = 30000;

const QString restText = QStringLiteral("🖼️ Изменить Сейчас");
const QString busyText = QStringLiteral("🔄 Изменение в процессе...");

std::unique_ptr<ModernWindow> makeWindow(WindowEnvironment env)
{
    return std::make_unique<ModernWindow>(std::move(env));
}

std::unique_ptr<ModernWindow> makeWindow(const ServiceFixture& service)
{
    return makeWindow(service.windowEnvironment());
}

// A window talking to a stand-in server instead of the real service.
std::unique_ptr<ModernWindow> makeWindow(const CannedHttpsServer& server)
{
    return makeWindow(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
}

bool waitForChangeEnd(ModernWindow& window)
{
    return QTest::qWaitFor([&] { return !Access::changeInFlight(window); }, changeTimeoutMs);
}

// Trigger modes of screen 0's log, oldest first.
QStringList triggerModes(ModernWindow& window)
{
    QFile log(window.getHistoryDirectory() + QLatin1Char('/') + Access::screenId(window, 0) + QStringLiteral(".log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList modes;
    const QList<QByteArray> lines = log.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split('[');
        if (fields.size() > 3)
            modes << QString::fromUtf8(fields[3]).section(QLatin1Char(']'), 0, 0);
    }
    return modes;
}

// Dates the service was asked for, per category, in order.
QStringList askedDates(ServiceFixture& service, const QString& category)
{
    QStringList dates;
    const QStringList lines = service.log().split(QLatin1Char('\n'));
    const QString needle = QStringLiteral("category=") + category + QStringLiteral("&date=");
    for (const QString& line : lines) {
        const qsizetype at = line.indexOf(needle);
        if (at >= 0)
            dates << line.mid(at + needle.size(), 14).replace(QStringLiteral("%2F"), QStringLiteral("/"));
    }
    return dates;
}

// One category "c" with four pictures today.
bool startWithFourPictures(ServiceFixture& service)
{
    if (!service.addCategory(QStringLiteral("c")))
        return false;
    for (int i = 0; i < 4; ++i) {
        if (service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p%1.png").arg(i)).isEmpty())
            return false;
    }
    return service.start();
}

QString temporaryFolder()
{
    return PathHelper::getTemporaryDirectory();
}

QColor pixelAt(const QString& imagePath, QPoint point)
{
    return QImage(imagePath).pixelColor(point);
}

bool sameColour(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 12 && qAbs(a.green() - b.green()) < 12 && qAbs(a.blue() - b.blue()) < 12;
}

} // namespace

class TestChangeWorkflow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        openSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        // A catalogue cached by an earlier test would decide which categories are drawn.
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
        QDir(temporaryFolder()).removeRecursively();
    }

    void oneScreenFromClickToHistory()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("nature")));
        QVERIFY(
            !service.addImage(QStringLiteral("nature"), QDate::currentDate(), QStringLiteral("lake.v2.jpg")).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));

        auto window = makeWindow(service);
        window->setCategoryRating(QStringLiteral("nature"), 2);
        QPushButton* button = Access::changeNowButton(*window);
        QLabel* status = Access::statusLabel(*window);

        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!button->isEnabled());
        QCOMPARE(button->text(), busyText);
        QCOMPARE(status->text(), QStringLiteral("Получение случайного изображения..."));
        QVERIFY(waitForChangeEnd(*window));

        QCOMPARE(status->text(), QStringLiteral("Succès !"));
        QVERIFY(button->isEnabled());
        QCOMPARE(button->text(), restText);
        QCOMPARE(Access::triggerMode(*window), QStringLiteral("Manuel"));
        QVERIFY(Access::errorBanner(*window)->isHidden());

        const FakePlatformServices& platform = Access::platform(*window);
        QCOMPARE(platform.spannedWallpapers.size(), 1);
        QCOMPARE(QFileInfo(platform.spannedWallpapers.first()).fileName(), QStringLiteral("composite_wallpaper.bmp"));

        // Filed under the monitor's id; moved out of the temporary folder with its BMP copy gone.
        const QString filed = window->getWallpapersDirectory() + QLatin1Char('/') + Access::screenId(*window, 0) +
                              QStringLiteral("/lake.v2.jpg");
        QVERIFY(QFileInfo::exists(filed));
        QVERIFY(!QFileInfo::exists(temporaryFolder() + QStringLiteral("/lake.v2.jpg")));
        QVERIFY(!QFileInfo::exists(temporaryFolder() + QStringLiteral("/lake_screen0.bmp")));
        QCOMPARE(Access::screenHistory(*window).value(0), QList<QString>{filed});
        const auto entries = Access::history(*window);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().filename, QStringLiteral("lake.v2.jpg"));
        QCOMPARE(entries.first().screenIndex, 0);
        QCOMPARE(entries.first().triggerMode, QStringLiteral("Manuel"));

        // The lists and where the picture was listed are flushed after the
        // change is reported: all there at the next start.
        const QString screenId = Access::screenId(*window, 0);
        window.reset();
        QSettings settings = openSettings();
        settings.beginGroup(QStringLiteral("currentPicture/") + screenId);
        QCOMPARE(settings.value(QStringLiteral("file")).toString(), QStringLiteral("lake.v2.jpg"));
        QCOMPARE(settings.value(QStringLiteral("category")).toString(), QStringLiteral("nature"));
        QCOMPARE(settings.value(QStringLiteral("date")).toString(), DateHelper::getCurrentDateString());
        window = makeWindow(service);
        QCOMPARE(Access::screenHistory(*window).value(0), QList<QString>{filed});
    }

    void threeScreensInOneComposite()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080},
                            {QStringLiteral("B"), 1920, 0, 1280, 1024},
                            {QStringLiteral("C"), -1600, 0, 1600, 900}});
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("colours")));
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow};
        for (int i = 0; i < colours.size(); ++i) {
            QVERIFY(!service
                         .addImage(QStringLiteral("colours"), QDate::currentDate(), QStringLiteral("c%1.png").arg(i),
                                   colours[i])
                         .isEmpty());
        }
        QVERIFY2(service.start(), qPrintable(service.errorString()));

        auto window = makeWindow(service);
        window->setCategoryRating(QStringLiteral("colours"), 1);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Получение 3 случайных изображений..."));
        QVERIFY(waitForChangeEnd(*window));
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Succès !"));

        const FakePlatformServices& platform = Access::platform(*window);
        // One composite, and one log line per screen.
        QCOMPARE(platform.spannedWallpapers.size(), 1);
        for (int screen = 0; screen < 3; ++screen) {
            QFile log(window->getHistoryDirectory() + '/' + Access::screenId(*window, screen) + ".log");
            QVERIFY(log.open(QIODevice::ReadOnly));
            QCOMPARE(log.readAll().trimmed().count('\n'), 0);
        }
        const QString composite = platform.spannedWallpapers.first();
        const QList<QRect> rects = platform.spannedScreenRects.first();
        QCOMPARE(rects.size(), 3);
        // Every monitor shows, in its part of the composite, the picture filed for it,
        // even when two monitors drew the same picture.
        for (int screen = 0; screen < 3; ++screen) {
            const QString filed = Access::currentWallpaper(*window, screen);
            QVERIFY2(QFileInfo::exists(filed), qPrintable(QString::number(screen)));
            QVERIFY(sameColour(pixelAt(composite, rects[screen].center()), pixelAt(filed, QPoint(5, 5))));
        }
    }

    void dateWalkFollowsTheService()
    {
        ServiceFixture service;
        const QDate today = QDate::currentDate();
        QVERIFY(service.addCategory(QStringLiteral("old")));
        QVERIFY(!service.addImage(QStringLiteral("old"), today.addDays(-3), QStringLiteral("seen.png")).isEmpty());
        QVERIFY(!service.addImage(QStringLiteral("old"), today.addDays(-10), QStringLiteral("fresh.png")).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));

        auto window = makeWindow(service);
        window->setCategoryRating(QStringLiteral("old"), 1);
        // What the screen already showed does not count as new.
        Access::screenHistory(*window)[0] = {QStringLiteral("/elsewhere/seen.png")};
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));

        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Succès !"));
        QCOMPARE(Access::history(*window).first().filename, QStringLiteral("fresh.png"));
        QCOMPARE(askedDates(service, QStringLiteral("old")),
                 (QStringList{DateHelper::formatDate(today), DateHelper::formatDate(today.addDays(-3)),
                              DateHelper::formatDate(today.addDays(-10))}));
    }

    void exclusionLastsAndHistoryFallback()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("empty")));
        QVERIFY(service.addCategory(QStringLiteral("full")));
        QVERIFY(!service.addImage(QStringLiteral("full"), QDate::currentDate(), QStringLiteral("f.png")).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        // Disabled at first, so that its tile does not rate it.
        openSettings().setValue(QStringLiteral("categoryRatings/full"), -1);

        auto window = makeWindow(service);
        // A picture this screen showed before, still on disk.
        const QString earlier = window->getWallpapersDirectory() + QStringLiteral("/somewhere/earlier.png");
        QVERIFY(QDir().mkpath(QFileInfo(earlier).path()));
        {
            QFile file(earlier);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ServiceFixture::encodedImage(QSize(32, 18), Qt::magenta));
        }
        Access::screenHistory(*window)[0] = {earlier};

        // Only the empty category is rated: it is dropped and the history steps in.
        window->setCategoryRating(QStringLiteral("empty"), 3);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Succès !"));
        QVERIFY(Access::excludedCategories(*window).contains(QStringLiteral("empty")));
        QCOMPARE(Access::history(*window).first().filename, QStringLiteral("earlier.png"));
        QCOMPARE(askedDates(service, QStringLiteral("empty")).size(), 1);

        // Later changes never ask for it again, whatever its stars.
        window->setCategoryRating(QStringLiteral("full"), 1);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));
        QCOMPARE(QFileInfo(Access::currentWallpaper(*window, 0)).fileName(), QStringLiteral("f.png"));
        QCOMPARE(askedDates(service, QStringLiteral("empty")).size(), 1);
    }

    void emptyHistoryAbortsTheChange()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("empty")));
        QVERIFY2(service.start(), qPrintable(service.errorString()));

        auto window = makeWindow(service);
        window->setCategoryRating(QStringLiteral("empty"), 1);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));

        QCOMPARE(Access::lastApiError(*window),
                 QStringLiteral("Aucun wallpaper disponible dans l'historique pour l'écran 1"));
        QVERIFY(!Access::errorBanner(*window)->isHidden());
        QCOMPARE(Access::retryCountdownSeconds(*window), 900);
        // Only the banner carries the failure; the status keeps its progress text.
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Получение случайного изображения..."));
        QVERIFY(Access::changeNowButton(*window)->isEnabled());
        QCOMPARE(Access::changeNowButton(*window)->text(), restText);
        QVERIFY(Access::platform(*window).spannedWallpapers.isEmpty());
    }

    // With no category to draw, each change takes a picture of the screen's
    // own history, which every such change files again: the picture shown
    // must not come back while another one is there, however often it is listed.
    void historyFallbackMovesOn_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("distinct");
        QTest::newRow("two, the shown one listed often") << QStringList{"a", "b", "a", "a", "a", "a", "a"} << 2;
        QTest::newRow("three") << QStringList{"a", "b", "c", "b"} << 3;
        QTest::newRow("only the shown one") << QStringList{"a", "a"} << 1;
    }

    void historyFallbackMovesOn()
    {
        QFETCH(QStringList, listed);
        QFETCH(int, distinct);
        ServiceFixture service;
        // Unrated, so nothing is drawn; the service gives back a picture whose filed copy is gone.
        QVERIFY(service.addCategory(QStringLiteral("kept")));
        for (const QString& name : QStringList{"a", "b", "c"})
            QVERIFY(!service.addImage(QStringLiteral("kept"), QDate::currentDate(), name + ".png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        openSettings().setValue(QStringLiteral("categoryRatings/kept"), 0);

        auto window = makeWindow(service);
        const QString folder = window->getWallpapersDirectory() + '/' + Access::screenId(*window, 0);
        QVERIFY(QDir().mkpath(folder));
        QList<QString>& history = Access::screenHistory(*window)[0];
        for (const QString& name : listed) {
            history.append(folder + '/' + name + ".png");
            QFile file(history.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ServiceFixture::encodedImage(QSize(32, 18), Qt::magenta));
        }

        QString shown = listed.first() + ".png";
        QSet<QString> came;
        for (int change = 0; change < 8; ++change) {
            QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
            QVERIFY(waitForChangeEnd(*window));
            QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Succès !"));
            const QString picked = QFileInfo(Access::currentWallpaper(*window, 0)).fileName();
            QVERIFY2(distinct == 1 || picked != shown, qPrintable(picked));
            QVERIFY2(listed.contains(picked.section('.', 0, 0)), qPrintable(picked));
            came.insert(picked);
            shown = picked;
        }
        if (distinct <= 2)
            QCOMPARE(came.size(), distinct);
    }

    void oneScreenFailingAbortsAll_data()
    {
        QTest::addColumn<int>("badStatus");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not found") << 404 << "";
        QTest::newRow("not an image") << 200 << "le fichier reçu n'est pas une image";
    }

    void oneScreenFailingAbortsAll()
    {
        QFETCH(int, badStatus);
        QFETCH(QString, reason);
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}, {QStringLiteral("B"), 1920, 0, 1920, 1080}});
        CannedHttpsServer server;
        const QByteArray good = ServiceFixture::encodedImage(QSize(16, 9), Qt::green);
        server.setResponder([&](const QByteArray& target) -> CannedHttpsServer::Answer {
            if (target.contains("/wallpapers?"))
                return {200, R"({"success":true,"data":[{"filename":"good.png"},{"filename":"bad.png"}]})"};
            if (target.endsWith("/get/good.png"))
                return {200, good, "image/png"};
            return {badStatus, "<html>no picture here</html>", "text/html"};
        });
        QVERIFY(server.listen());

        auto window = makeWindow(server);
        window->setCategoryRating(QStringLiteral("c"), 1);
        // Each screen has already shown the other's picture.
        Access::screenHistory(*window)[0] = {QStringLiteral("/old/bad.png")};
        Access::screenHistory(*window)[1] = {QStringLiteral("/old/good.png")};
        // A refusal meets the start's catalogue request too: its error comes first, not over the change's.
        if (badStatus != 200)
            QTRY_VERIFY_WITH_TIMEOUT(!Access::lastApiError(*window).isEmpty(), 20000);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));

        QVERIFY(Access::platform(*window).spannedWallpapers.isEmpty());
        QVERIFY(Access::history(*window).isEmpty());
        QVERIFY(!Access::errorBanner(*window)->isHidden());
        const QString error = Access::lastApiError(*window);
        QVERIFY2(error.startsWith(QStringLiteral("Erreur de téléchargement d'image pour écran 2: ")),
                 qPrintable(error));
        QVERIFY2(error.endsWith(reason), qPrintable(error));
        QCOMPARE(Access::changeNowButton(*window)->text(), restText);
        // A non-image never reaches the temporary folder's list of pictures.
        QVERIFY(!QFileInfo::exists(temporaryFolder() + QStringLiteral("/bad.png")));
    }

    // Quitting while the filing of a change waits behind other file work.
    void quittingFilesWhatIsOnTheDesktop()
    {
        ServiceFixture service;
        QVERIFY2(startWithFourPictures(service), qPrintable(service.errorString()));
        auto window = makeWindow(service);
        window->setCategoryRating(QStringLiteral("c"), 1);
        const QString log =
            window->getHistoryDirectory() + QLatin1Char('/') + Access::screenId(*window, 0) + QStringLiteral(".log");

        // A slow disk holds the filing queue until the program quits, and a moment after.
        auto held = std::make_shared<QSemaphore>();
        Access::filingJobs(*window).run(
            window.get(),
            [held] {
                held->acquire();
                QThread::msleep(300);
                return true;
            },
            [](bool) {});
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Access::platform(*window).spannedWallpapers.size(), 1, changeTimeoutMs);
        QVERIFY(Access::desktopAnswered(*window));
        QVERIFY(!QFileInfo::exists(log));

        held->release();
        window.reset();

        QFile written(log);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY2(written.readAll().contains("] [Manuel] ["), qPrintable(log));
        // Listed too: the next start finds it among the screen's recent pictures.
        window = makeWindow(service);
        QCOMPARE(Access::screenHistory(*window).value(0).size(), 1);
    }

    void retryAndCountdownStartLoggedChanges()
    {
        ServiceFixture service;
        QVERIFY(startWithFourPictures(service));
        auto window = makeWindow(service);
        window->setCategoryRating(QStringLiteral("c"), 1);

        // The retry countdown's last tick.
        Access::retryCountdownSeconds(*window) = 1;
        Access::onRetryTimerTick(*window);
        QVERIFY(waitForChangeEnd(*window));
        Access::onCountdownExpired(*window);
        QVERIFY(waitForChangeEnd(*window));
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));

        QCOMPARE(triggerModes(*window), (QStringList{QStringLiteral("Retry automatique"), QStringLiteral("Automatique"),
                                                     QStringLiteral("Manuel")}));
    }

    void replacedChangeIgnoresLateReplies()
    {
        ServiceFixture service;
        QVERIFY(startWithFourPictures(service));
        auto window = makeWindow(service);
        window->setCategoryRating(QStringLiteral("c"), 1);
        // The catalogue and its thumbnail first, so that only the changes' replies are counted.
        QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QLabel*>(QStringLiteral("thumbnailLabel")) &&
                                     !window->findChild<QLabel*>(QStringLiteral("thumbnailLabel"))->pixmap().isNull(),
                                 changeTimeoutMs);
        // The strip's thumbnail of the new picture is not the changes' business.
        int finished = 0;
        const QMetaObject::Connection counting =
            connect(window->findChild<QNetworkAccessManager*>(), &QNetworkAccessManager::finished, this,
                    [&](QNetworkReply* reply) { finished += !reply->url().path().contains(QLatin1String("/mini/")); });

        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        // The countdown does not look at the button: its change replaces the first.
        Access::onCountdownExpired(*window);
        QVERIFY(waitForChangeEnd(*window));
        // Both list replies and the one download have come back.
        QTRY_COMPARE_WITH_TIMEOUT(finished, 3, changeTimeoutMs);
        QCoreApplication::processEvents();
        disconnect(counting);
        QCOMPARE(finished, 3);

        QCOMPARE(Access::platform(*window).spannedWallpapers.size(), 1);
        QCOMPARE(triggerModes(*window), QStringList{QStringLiteral("Automatique")});
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Succès !"));
    }

    void dateWalkEndsOnAnyService_data()
    {
        QTest::addColumn<int>("pattern");
        QTest::addColumn<int>("maxRequests");
        // 0: answers a later date for yesterday (a cycle); 1: the same date; 2: always one day earlier.
        QTest::newRow("cycle") << 0 << 2;
        QTest::newRow("same date") << 1 << 1;
        QTest::newRow("endless past") << 2 << 400;
    }

    void dateWalkEndsOnAnyService()
    {
        QFETCH(int, pattern);
        QFETCH(int, maxRequests);
        const QDate today = QDate::currentDate();
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray& target) -> CannedHttpsServer::Answer {
            const QUrlQuery query(QUrl(QString::fromLatin1(target)));
            const QDate asked = DateHelper::parseDate(query.queryItemValue(QStringLiteral("date"), QUrl::FullyDecoded));
            QDate named = asked.addDays(-1);
            if (pattern == 0 && asked < today)
                named = today;
            if (pattern == 1)
                named = asked;
            return {200, "{\"success\":true,\"data\":[],\"nearest_previous_date\":\"" +
                             DateHelper::formatDate(named).toLatin1() + "\"}"};
        });
        QVERIFY(server.listen());

        auto window = makeWindow(server);
        window->setCategoryRating(QStringLiteral("loop"), 1);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));

        // The window's own catalogue request is not part of the walk.
        const QList<QByteArray> requests = server.requests();
        QCOMPARE(std::count_if(requests.cbegin(), requests.cend(),
                               [](const QByteArray& target) { return target.contains("/wallpapers?"); }),
                 maxRequests);
        QVERIFY(Access::excludedCategories(*window).contains(QStringLiteral("loop")));
        QCOMPARE(Access::lastApiError(*window),
                 QStringLiteral("Aucun wallpaper disponible dans l'historique pour l'écran 1"));
    }

    void unsafeNamesAreNoCandidates()
    {
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray&) -> CannedHttpsServer::Answer {
            // Names that would leave the temporary folder are no candidates.
            return {200, R"({"success":true,"data":[{"filename":"../evil.png"},{"filename":"a/b.png"}]})"};
        });
        QVERIFY(server.listen());

        auto window = makeWindow(server);
        window->setCategoryRating(QStringLiteral("unsafe"), 1);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));
        QVERIFY(Access::excludedCategories(*window).contains(QStringLiteral("unsafe")));
        for (const QByteArray& request : server.requests())
            QVERIFY2(!request.contains("/get/"), request.constData());
    }

    void refusedOrGarbledListAbortsTheChange_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("reason");
        QTest::newRow("refused") << QByteArray(R"({"success":false,"error":"catégorie inconnue"})")
                                 << "catégorie inconnue";
        QTest::newRow("proxy's error page") << QByteArray("<html><body>502 Bad Gateway</body></html>") << "";
    }

    // Such a reply says nothing of the category: no exclusion, no old picture
    // passed off as a change, and the service is asked again once it recovers.
    void refusedOrGarbledListAbortsTheChange()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, reason);
        bool recovered = false;
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray& target) -> CannedHttpsServer::Answer {
            if (target.contains("/get/new.png"))
                return {200, ServiceFixture::encodedImage(QSize(32, 18), Qt::green), "image/png"};
            if (target.contains("/wallpapers?"))
                return {200, recovered ? QByteArray(R"({"success":true,"data":[{"filename":"new.png"}]})") : reply};
            return {200, R"({"success":true,"timestamp":1,"data":[{"id":"c"}]})"};
        });
        QVERIFY(server.listen());
        auto window = makeWindow(server);
        const QString earlier = window->getWallpapersDirectory() + QStringLiteral("/somewhere/earlier.png");
        QVERIFY(QDir().mkpath(QFileInfo(earlier).path()));
        QVERIFY(QImage(QSize(32, 18), QImage::Format_RGB32).save(earlier));
        Access::screenHistory(*window)[0] = {earlier};
        window->setCategoryRating(QStringLiteral("c"), 1);

        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));
        const QString error = Access::lastApiError(*window);
        QVERIFY2(error.startsWith(QStringLiteral("Erreur API wallpapers pour écran 1: ")), qPrintable(error));
        QVERIFY2(error.endsWith(reason), qPrintable(error));
        QVERIFY(!Access::errorBanner(*window)->isHidden());
        QCOMPARE(Access::retryCountdownSeconds(*window), 900);
        QVERIFY(Access::excludedCategories(*window).isEmpty());
        QVERIFY(Access::platform(*window).spannedWallpapers.isEmpty());

        recovered = true;
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Succès !"));
        QCOMPARE(QFileInfo(Access::currentWallpaper(*window, 0)).fileName(), QStringLiteral("new.png"));
    }

    void serviceDownAbortsWithConnectionMessage()
    {
        quint16 port = 0;
        {
            CannedHttpsServer closed;
            QVERIFY(closed.listen());
            port = closed.port();
        }
        auto window = makeWindow(testWindowEnvironment(QStringLiteral("https://127.0.0.1:%1").arg(port)));
        // The start's catalogue request fails too; the last failure's text is the one kept.
        QTRY_VERIFY(!Access::errorBanner(*window)->isHidden());
        window->setCategoryRating(QStringLiteral("c"), 1);
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(waitForChangeEnd(*window));
        QVERIFY(Access::lastApiError(*window).startsWith(QStringLiteral("Ошибка подключения обои для экрана 1: ")));
        QVERIFY(!Access::errorBanner(*window)->isHidden());
    }
};

VELMORA_TEST_MAIN(TestChangeWorkflow)
#include "test_change_workflow.moc"
