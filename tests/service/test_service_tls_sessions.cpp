// TLS session resumption between the program and the service: a client that
// comes back on a new connection resumes its session from the ticket of the
// last one, but only with the service process that sealed it, and the
// program keeps its session for its own service alone.

#include "modern_window.h"
#include "service_fixture.h"
#include "test_main.h"

#include "core/service_api.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslSocket>
#include <QtNetwork/private/qsslsocket_p.h>

class ModernWindowTestAccess
{
public:
    static QNetworkReply* send(ModernWindow& window, const QUrl& url)
    {
        return window.sendServiceRequest(url, ServiceReplyKind::Json);
    }
    static QNetworkAccessManager* network(ModernWindow& window) { return window.networkManager; }
    static QSslConfiguration tls(const ModernWindow& window) { return window.serviceSslConfiguration; }
};

namespace {

// Qt says whether a handshake resumed a session only in its private part.
bool resumed(QSslSocket& socket)
{
    return static_cast<QSslSocketPrivate*>(QObjectPrivate::get(&socket))->configuration.peerSessionShared;
}

QSslConfiguration clientConfiguration(const ServiceFixture& service)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(service.caCertificates());
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    return configuration;
}

// One handshake with the service on port; the socket stays open for the caller.
bool handshake(QSslSocket& socket, quint16 port, const QSslConfiguration& configuration)
{
    socket.setSslConfiguration(configuration);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    return socket.waitForEncrypted(30000);
}

// The session of a first connection, once its ticket came: after the
// handshake, which leaves a session that cannot be resumed yet.
QByteArray firstSession(const ServiceFixture& service)
{
    QSslSocket socket;
    QSignalSpy tickets(&socket, &QSslSocket::newSessionTicketReceived);
    if (!handshake(socket, service.port(), clientConfiguration(service)))
        return {};
    socket.write("GET /velmora/api/categories HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    while (tickets.isEmpty() && socket.waitForReadyRead(30000)) {
    }
    return tickets.isEmpty() ? QByteArray() : socket.sslConfiguration().sessionTicket();
}

} // namespace

class TestServiceTlsSessions : public QObject
{
    Q_OBJECT

    ServiceFixture service;
    ServiceFixture otherService;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(service.addCategory("nature"));
        QVERIFY(!service.addImage("nature", QDate(2026, 3, 2), "leaf.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        QVERIFY2(otherService.start(), qPrintable(otherService.errorString()));
    }

    void newConnectionResumes_data()
    {
        QTest::addColumn<bool>("sameProcess");
        QTest::newRow("the service that sealed the ticket") << true;
        // Same certificate, keys of its own: a full handshake, which still succeeds.
        QTest::newRow("another service process") << false;
    }

    void newConnectionResumes()
    {
        QFETCH(bool, sameProcess);
        const QByteArray session = firstSession(service);
        QVERIFY(!session.isEmpty());

        QSslConfiguration configuration = clientConfiguration(service);
        configuration.setSessionTicket(session);
        QSslSocket socket;
        QVERIFY2(handshake(socket, (sameProcess ? service : otherService).port(), configuration),
                 qPrintable(socket.errorString()));
        QCOMPARE(resumed(socket), sameProcess);
    }

    void programKeepsItsServiceSession()
    {
        auto window = std::make_unique<ModernWindow>(service.windowEnvironment());
        QNetworkReply* reply = ModernWindowTestAccess::send(*window, ServiceApi::categoriesUrl(service.origin()));
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY2(ServiceApi::succeeded(reply), qPrintable(ServiceApi::errorString(reply)));
        reply->deleteLater();

        // A later change finds no connection open; the session kept resumes.
        ModernWindowTestAccess::network(*window)->clearConnectionCache();
        const QSslConfiguration kept = ModernWindowTestAccess::tls(*window);
        QSslConfiguration configuration = clientConfiguration(service);
        configuration.setSessionTicket(kept.sessionTicket());
        QSslSocket socket;
        QVERIFY2(handshake(socket, service.port(), configuration), qPrintable(socket.errorString()));
        QVERIFY(resumed(socket));

        // Never offered to another server, nor to the same host on another port.
        const QString origin = service.origin();
        QVERIFY(!ServiceApi::sslConfigurationFor(kept, origin, ServiceApi::categoriesUrl(origin))
                     .sessionTicket()
                     .isEmpty());
        QVERIFY(ServiceApi::sslConfigurationFor(kept, origin, ServiceApi::categoriesUrl(otherService.origin()))
                    .sessionTicket()
                    .isEmpty());
        QVERIFY(ServiceApi::sslConfigurationFor(kept, origin, QUrl("https://example.org/velmora/api/categories"))
                    .sessionTicket()
                    .isEmpty());
    }
};

VELMORA_TEST_MAIN(TestServiceTlsSessions)
#include "test_service_tls_sessions.moc"
