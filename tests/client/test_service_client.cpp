#include "canned_https_server.h"
#include "fake_platform.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_window.h"

#include "core/service_api.h"
#include "modern_window.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QPixmap>
#include <QTcpServer>
#include <QTimer>

class ModernWindowTestAccess
{
public:
    static QNetworkReply* send(ModernWindow& window, const QUrl& url, ServiceReplyKind kind)
    {
        return window.sendServiceRequest(url, kind);
    }
    static void setLimits(ModernWindow& window, ServiceReplyKind kind, ServiceRequestLimits limits)
    {
        window.serviceRequestLimits[kind] = limits;
    }
    static QString apiBase(const ModernWindow& window) { return window.serviceApiBase(); }
};

namespace {

// What a handler sees of one finished reply.
struct Outcome
{
    bool finished = false;
    bool succeeded = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorText;
    int status = 0;
    QByteArray body;
};

Outcome fetch(ModernWindow& window, const QUrl& url, ServiceReplyKind kind = ServiceReplyKind::Json)
{
    Outcome outcome;
    QNetworkReply* reply = ModernWindowTestAccess::send(window, url, kind);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
        outcome.finished = true;
        outcome.succeeded = ServiceApi::succeeded(reply);
        outcome.error = reply->error();
        outcome.errorText = ServiceApi::errorString(reply);
        outcome.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (outcome.succeeded)
            outcome.body = reply->readAll();
        reply->deleteLater();
        loop.quit();
    });
    // Only a guard against a hung suite: every case here ends by itself.
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return outcome;
}

std::unique_ptr<ModernWindow> makeWindow(WindowEnvironment environment)
{
    return std::make_unique<ModernWindow>(std::move(environment));
}

WindowEnvironment environmentFor(const QString& origin, bool trustTestCa = true)
{
    return testWindowEnvironment(origin, trustTestCa ? TestPki::shared().caCertificates() : QList<QSslCertificate>{});
}

const QDate day1(2026, 3, 2);
const QDate day2(2026, 3, 5);

} // namespace

class TestServiceClient : public QObject
{
    Q_OBJECT

    ServiceFixture service;
    std::unique_ptr<ModernWindow> window;
    QString origin;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(service.addCategory("nature", QStringLiteral("Природа"), "leaf-2.png"));
        QVERIFY(!service.addImage("nature", day1, "leaf-1.png").isEmpty());
        QVERIFY(!service.addImage("nature", day2, "leaf-2.png", Qt::green, QSize(640, 360)).isEmpty());
        QVERIFY(!service.addImage("nature", day2, "leaf-3.jpg").isEmpty());
        QVERIFY(!service.addImage("city lights", day2, "night 1.jpg").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        origin = service.origin();
        window = makeWindow(service.windowEnvironment());
        QCOMPARE(ModernWindowTestAccess::apiBase(*window), service.apiBase());
    }

    void categoryList()
    {
        const Outcome outcome = fetch(*window, ServiceApi::categoriesUrl(origin));
        QVERIFY2(outcome.succeeded, qPrintable(outcome.errorText));
        QCOMPARE(outcome.status, 200);
        const CategoryListReply reply = ServiceApi::readCategoryList(outcome.body);
        QVERIFY(reply.success);
        QVERIFY(reply.timestamp > 0);
        QCOMPARE(reply.data.size(), 2);
        const ServiceCategory nature = ServiceApi::readCategory(reply.data.at(1));
        QCOMPARE(nature.id, QStringLiteral("nature"));
        QCOMPARE(nature.name, QStringLiteral("Природа"));
        QCOMPARE(nature.thumbnail, QStringLiteral("leaf-2.png"));
        QCOMPARE(ServiceApi::readCategory(reply.data.at(0)).id, QStringLiteral("city lights"));
    }

    void wallpaperListAndDateWalk()
    {
        Outcome outcome = fetch(*window, ServiceApi::wallpapersUrl(origin, "nature", "05/03/2026"));
        QVERIFY2(outcome.succeeded, qPrintable(outcome.errorText));
        WallpaperListReply reply = ServiceApi::readWallpaperList(outcome.body);
        QVERIFY(reply.success);
        QCOMPARE(reply.fileNames, (QStringList{"leaf-2.png", "leaf-3.jpg"}));
        QCOMPARE(reply.nearestPreviousDate, QStringLiteral("02/03/2026"));

        // Nothing on the 4th: the service points back, and that date is sent encoded the same way.
        outcome = fetch(*window, ServiceApi::wallpapersUrl(origin, "nature", "04/03/2026"));
        reply = ServiceApi::readWallpaperList(outcome.body);
        QVERIFY(reply.success);
        QVERIFY(reply.fileNames.isEmpty());
        QCOMPARE(reply.nearestPreviousDate, QStringLiteral("02/03/2026"));
        outcome = fetch(*window, ServiceApi::wallpapersUrl(origin, "nature", reply.nearestPreviousDate));
        reply = ServiceApi::readWallpaperList(outcome.body);
        QCOMPARE(reply.fileNames, QStringList{"leaf-1.png"});
        QVERIFY(reply.nearestPreviousDate.isEmpty());

        // A category id with a space survives the tolerant URL.
        outcome = fetch(*window, ServiceApi::wallpapersUrl(origin, "city lights", "05/03/2026"));
        QCOMPARE(ServiceApi::readWallpaperList(outcome.body).fileNames, QStringList{"night 1.jpg"});
    }

    void refusalCarriesTheServiceText()
    {
        Outcome outcome = fetch(*window, ServiceApi::wallpapersUrl(origin, "volcanoes", "05/03/2026"));
        QVERIFY2(outcome.succeeded, qPrintable(outcome.errorText));
        WallpaperListReply reply = ServiceApi::readWallpaperList(outcome.body);
        QVERIFY(!reply.success);
        QVERIFY(reply.error.contains(QStringLiteral("volcanoes")));

        outcome = fetch(*window, ServiceApi::wallpapersUrl(origin, "nature", "2026-03-05"));
        reply = ServiceApi::readWallpaperList(outcome.body);
        QVERIFY(!reply.success);
        QVERIFY(!reply.error.isEmpty());
    }

    void imageAndThumbnail()
    {
        Outcome outcome = fetch(*window, ServiceApi::imageUrl(origin, "leaf-2.png"), ServiceReplyKind::Image);
        QVERIFY2(outcome.succeeded, qPrintable(outcome.errorText));
        QPixmap pixmap;
        QVERIFY(ServiceApi::decodeImage(outcome.body, pixmap));
        QCOMPARE(pixmap.size(), QSize(640, 360));

        outcome = fetch(*window, ServiceApi::thumbnailUrl(origin, "leaf-2.png"), ServiceReplyKind::Image);
        QVERIFY2(outcome.succeeded, qPrintable(outcome.errorText));
        QVERIFY(ServiceApi::decodeImage(outcome.body, pixmap));
        QCOMPARE(pixmap.size(), QSize(320, 180));

        outcome = fetch(*window, ServiceApi::imageUrl(origin, "night 1.jpg"), ServiceReplyKind::Image);
        QVERIFY2(outcome.succeeded, qPrintable(outcome.errorText));
        QVERIFY(ServiceApi::decodeImage(outcome.body, pixmap));
    }

    void missingFileIsAnErrorNotAnEmptyImage_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("image") << ServiceApi::imageUrl(origin, "nope.jpg");
        QTest::newRow("thumbnail") << ServiceApi::thumbnailUrl(origin, "nope.jpg");
        QTest::newRow("traversal") << ServiceApi::imageUrl(origin, "..%2F..%2Fetc%2Fpasswd");
    }

    void missingFileIsAnErrorNotAnEmptyImage()
    {
        QFETCH(QUrl, url);
        const Outcome outcome = fetch(*window, url, ServiceReplyKind::Image);
        QCOMPARE(outcome.error, QNetworkReply::ContentNotFoundError);
        QCOMPARE(outcome.status, 404);
        QVERIFY(!outcome.errorText.isEmpty());
        QVERIFY(outcome.body.isEmpty());
    }

    void serviceDown()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QString closed = QStringLiteral("https://127.0.0.1:%1").arg(probe.serverPort());
        probe.close();
        const Outcome outcome = fetch(*window, ServiceApi::categoriesUrl(closed));
        QCOMPARE(outcome.error, QNetworkReply::ConnectionRefusedError);
        QVERIFY(!outcome.errorText.isEmpty());
    }

    void serverError()
    {
        CannedHttpsServer server;
        QVERIFY(server.listen());
        server.setReply(500, R"({"success":true,"data":[]})");
        const Outcome outcome = fetch(*window, ServiceApi::categoriesUrl(server.origin()));
        QCOMPARE(outcome.error, QNetworkReply::InternalServerError);
        QCOMPARE(outcome.status, 500);
        QVERIFY(outcome.body.isEmpty());
    }

    void oddBodiesReadAsRefusal_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("not JSON") << QByteArray("<html>maintenance</html>");
        QTest::newRow("top-level array") << QByteArray(R"([{"success":true,"data":[{"id":"a"}]}])");
        QTest::newRow("success missing") << QByteArray(R"({"data":[{"id":"a"}],"timestamp":9})");
        QTest::newRow("empty") << QByteArray();
    }

    void oddBodiesReadAsRefusal()
    {
        QFETCH(QByteArray, body);
        CannedHttpsServer server;
        QVERIFY(server.listen());
        server.setReply(200, body);
        const Outcome outcome = fetch(*window, ServiceApi::wallpapersUrl(server.origin(), "nature", "05/03/2026"));
        QVERIFY2(outcome.succeeded, qPrintable(outcome.errorText));
        QCOMPARE(server.requests(), QList<QByteArray>{"/velmora/api/wallpapers?category=nature&date=05%2F03%2F2026"});
        QVERIFY(!ServiceApi::readCategoryList(outcome.body).success);
        const WallpaperListReply reply = ServiceApi::readWallpaperList(outcome.body);
        QVERIFY(!reply.success);
        // The refusal says what was wrong with the reply.
        QVERIFY(!reply.error.isEmpty());
    }

    void untrustedCertificatesFail_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("named");
        QTest::newRow("self-signed") << "self-signed"
                                     << "self-signed";
        QTest::newRow("other host") << "other host"
                                    << "host name";
        QTest::newRow("CA not trusted") << "untrusted CA"
                                        << "issuer";
    }

    void untrustedCertificatesFail()
    {
        QFETCH(QString, kind);
        QFETCH(QString, named);
        TestPki& pki = TestPki::shared();
        CannedHttpsServer server;
        const TestCertificate certificate = kind == QLatin1String("self-signed") ? pki.selfSignedCertificate()
                                            : kind == QLatin1String("other host")
                                                ? pki.serverCertificate(QStringLiteral("DNS:wallpapers.invalid"))
                                                : pki.serverCertificate();
        QVERIFY2(certificate.isValid(), qPrintable(pki.errorString()));
        QVERIFY(server.listen(CannedHttpsServer::Mode::Reply, certificate));
        server.setReply(200, R"({"success":true,"data":[]})");

        // Its own window and so its own manager: no connection of another test is reused.
        auto other = makeWindow(environmentFor(server.origin(), kind != QLatin1String("untrusted CA")));
        const Outcome outcome = fetch(*other, ServiceApi::categoriesUrl(server.origin()));
        QCOMPARE(outcome.error, QNetworkReply::SslHandshakeFailedError);
        QVERIFY2(outcome.errorText.contains(named, Qt::CaseInsensitive), qPrintable(outcome.errorText));
        QVERIFY(outcome.body.isEmpty());
        QVERIFY(server.requests().isEmpty());
    }

    void realServiceNeedsItsCa()
    {
        auto stranger = makeWindow(environmentFor(origin, false));
        const Outcome outcome = fetch(*stranger, ServiceApi::categoriesUrl(origin));
        QCOMPARE(outcome.error, QNetworkReply::SslHandshakeFailedError);
        QVERIFY2(outcome.errorText.startsWith(QStringLiteral("certificat TLS du service refusé: ")),
                 qPrintable(outcome.errorText));
    }

    void silentServiceTimesOut_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("no TLS handshake") << int(CannedHttpsServer::Mode::SilentTcp);
        QTest::newRow("no answer to the request") << int(CannedHttpsServer::Mode::SilentAfterRequest);
    }

    void silentServiceTimesOut()
    {
        QFETCH(int, mode);
        CannedHttpsServer server;
        QVERIFY(server.listen(CannedHttpsServer::Mode(mode)));
        auto other = makeWindow(environmentFor(server.origin()));
        ModernWindowTestAccess::setLimits(*other, ServiceReplyKind::Json, {200, ServiceApi::maxJsonBytes});
        const Outcome outcome = fetch(*other, ServiceApi::categoriesUrl(server.origin()));
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.error, QNetworkReply::OperationCanceledError);
        QVERIFY2(outcome.errorText.contains(QStringLiteral("pas répondu")), qPrintable(outcome.errorText));
    }

    void slowLinkKeepsGoingWhileBytesCome_data()
    {
        QTest::addColumn<int>("stallAfter");
        QTest::addColumn<qint64>("slowestBytesPerSecond");
        QTest::addColumn<QString>("failure");
        // 30 pieces, one every 100 ms: longer in all than the 2 s of silence allowed.
        QTest::newRow("steady") << -1 << qint64(1024) << "";
        QTest::newRow("stalls") << 5 << qint64(1024) << "pas répondu pendant 2 s";
        // A link that must bring 1 MiB a second gets half a second for 30 KiB.
        QTest::newRow("slower than its size allows") << -1 << qint64(1024 * 1024) << "trop lente";
    }

    void slowLinkKeepsGoingWhileBytesCome()
    {
        QFETCH(int, stallAfter);
        QFETCH(qint64, slowestBytesPerSecond);
        QFETCH(QString, failure);
        CannedHttpsServer server;
        QVERIFY(server.listen());
        const QByteArray picture = ServiceFixture::encodedImage(QSize(64, 36), Qt::red);
        server.setReply(200, picture + QByteArray(30 * 1024 - picture.size(), '\0'), "image/png");
        server.setTrickle(30, 100, stallAfter);
        auto other = makeWindow(environmentFor(server.origin()));
        ModernWindowTestAccess::setLimits(*other, ServiceReplyKind::Image,
                                          {2000, ServiceApi::maxImageBytes, 500, slowestBytesPerSecond});
        const Outcome outcome =
            fetch(*other, ServiceApi::imageUrl(server.origin(), "slow.png"), ServiceReplyKind::Image);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.succeeded, failure.isEmpty());
        QVERIFY2(outcome.errorText.contains(failure), qPrintable(outcome.errorText));
        if (failure.isEmpty())
            QCOMPARE(outcome.body.size(), 30 * 1024);
    }

    void bodiesAreCapped_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("at the cap") << 4096 << false << true;
        QTest::newRow("over the cap") << 4097 << false << false;
        QTest::newRow("at the cap, no length") << 4096 << true << true;
        QTest::newRow("far over, no length") << 1024 * 1024 << true << false;
    }

    void bodiesAreCapped()
    {
        QFETCH(int, size);
        QFETCH(bool, chunked);
        QFETCH(bool, accepted);
        CannedHttpsServer server;
        QVERIFY(server.listen());
        server.setReply(200, QByteArray(size, 'x'), "application/json", chunked);
        auto other = makeWindow(environmentFor(server.origin()));
        ModernWindowTestAccess::setLimits(*other, ServiceReplyKind::Json, {ServiceApi::inactivityMs, 4096});
        const Outcome outcome = fetch(*other, ServiceApi::categoriesUrl(server.origin()));
        QCOMPARE(outcome.succeeded, accepted);
        if (accepted) {
            QCOMPARE(outcome.body.size(), size);
        } else {
            QVERIFY2(outcome.errorText.contains(QStringLiteral("trop volumineuse")), qPrintable(outcome.errorText));
        }
    }

    void defaultJsonCapApplies()
    {
        CannedHttpsServer server;
        QVERIFY(server.listen());
        server.setReply(200, QByteArray(ServiceApi::maxJsonBytes + 1, ' '));
        const Outcome json = fetch(*window, ServiceApi::categoriesUrl(server.origin()));
        QVERIFY(!json.succeeded);
        // The same body is a fine size for an image.
        const Outcome image = fetch(*window, ServiceApi::imageUrl(server.origin(), "big.jpg"), ServiceReplyKind::Image);
        QVERIFY(image.succeeded);
    }
};

VELMORA_TEST_MAIN(TestServiceClient)
#include "test_service_client.moc"
