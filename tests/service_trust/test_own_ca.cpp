#include "canned_https_server.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_window.h"
#include "workflow_access.h"

#include "modern_window.h"

#include <QLabel>
#include <QSslConfiguration>

// A TLS back-end that keeps to the system's roots (Schannel) finds no issuer
// for the service's certificate; the program's own CA then vouches for it
// through the system's verification, and for nothing else. Here the recording
// platform says the back-end does not take added roots, so that OpenSSL, like
// Schannel, is never handed the CA, and OpenSSL's own verification stands in
// for the system's.
namespace {

using Access = ModernWindowTestAccess;

bool openSslVerifies(const QList<QSslCertificate>& chain, const QList<QSslCertificate>& roots, const QString& host)
{
    // Against these roots (and the system's, to which no test certificate leads).
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration onlyRoots = saved;
    onlyRoots.setCaCertificates(roots);
    QSslConfiguration::setDefaultConfiguration(onlyRoots);
    const bool verified = !chain.isEmpty() && QSslCertificate::verify(chain, host).isEmpty();
    QSslConfiguration::setDefaultConfiguration(saved);
    return verified;
}

FakePlatformServices& keepingToSystemRoots(WindowEnvironment& environment)
{
    auto& platform = static_cast<FakePlatformServices&>(*environment.platform);
    platform.trustsAddedRoots = false;
    platform.chainVerifier = openSslVerifies;
    return platform;
}

QStringList categoryNames(const ModernWindow& window)
{
    QStringList names;
    for (const QLabel* label : window.findChildren<QLabel*>(QStringLiteral("categoryName")))
        names << label->text();
    return names;
}

} // namespace

class TestOwnCa : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(TestPki::shared().isValid(), qPrintable(TestPki::shared().errorString()));
        const TestCertificate stranger = TestPki::shared().selfSignedCertificate();
        if (openSslVerifies(QSslCertificate::fromPath(stranger.certificatePath), TestPki::shared().caCertificates(),
                            QStringLiteral("127.0.0.1")))
            QSKIP("this TLS back-end cannot verify a chain by itself to stand in for the system; "
                  "tests/win32 test_server_chain covers Windows' own verification");
    }

    // The catalogue, its thumbnails and a change all come from the real service.
    void everyRequestGoesThrough()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory("nature", QStringLiteral("Природа"), "leaf.png"));
        QVERIFY(!service.addImage("nature", QDate::currentDate(), "leaf.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        WindowEnvironment environment = service.windowEnvironment();
        FakePlatformServices& platform = keepingToSystemRoots(environment);
        ModernWindow window(std::move(environment));
        QTRY_COMPARE_WITH_TIMEOUT(categoryNames(window), QStringList{QStringLiteral("Природа")}, 30000);
        window.setCategoryRating("nature", 1);
        QTest::mouseClick(Access::changeNowButton(window), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(platform.wallpapers.size() + platform.spannedWallpapers.size(), 1, 30000);
        QVERIFY(platform.chainVerifications > 0);
        const QString log = service.log();
        for (const char* request : {"/categories", "/mini/leaf.png", "/wallpapers", "/get/leaf.png"})
            QVERIFY2(log.contains(QLatin1String(request)), request);
    }

    void othersAreStillRefused_data()
    {
        QTest::addColumn<QString>("presented");
        QTest::addColumn<bool>("asked");
        // The chain is looked at only when an unknown issuer is all that is wrong.
        QTest::newRow("from another CA") << "another CA" << true;
        QTest::newRow("for another host") << "DNS:wallpapers.invalid" << false;
        QTest::newRow("self-signed") << "self-signed" << false;
    }

    void othersAreStillRefused()
    {
        QFETCH(QString, presented);
        QFETCH(bool, asked);
        TestPki& pki = TestPki::shared();
        const TestCertificate certificate = presented == "self-signed"  ? pki.selfSignedCertificate()
                                            : presented == "another CA" ? pki.serverCertificate()
                                                                        : pki.serverCertificate(presented);
        QVERIFY2(certificate.isValid(), qPrintable(pki.errorString()));
        // For a certificate of the test CA to come from another CA, the window's own CA is another.
        const QList<QSslCertificate> ownCa =
            presented == "another CA" ? QSslCertificate::fromPath(pki.selfSignedCertificate().certificatePath)
                                      : pki.caCertificates();
        CannedHttpsServer server;
        QVERIFY(server.listen(CannedHttpsServer::Mode::Reply, certificate));
        server.setReply(200, R"({"success":true,"data":[],"timestamp":1})");
        WindowEnvironment environment = testWindowEnvironment(server.origin(), ownCa);
        FakePlatformServices& platform = keepingToSystemRoots(environment);
        ModernWindow window(std::move(environment));
        QTRY_VERIFY_WITH_TIMEOUT(Access::lastApiError(window).contains("certificat TLS du service refusé"), 30000);
        QCOMPARE(platform.chainVerifications > 0, asked);
        QVERIFY(server.requests().isEmpty());
    }
};

VELMORA_TEST_MAIN(TestOwnCa)
#include "test_own_ca.moc"
