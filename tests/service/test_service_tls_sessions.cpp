// A new connection resumes its TLS session with the service that sealed the
// ticket, never another; the program keeps its session for its service alone.

#include "modern_window.h"
#include "service_fixture.h"
#include "test_main.h"

#include "core/service_api.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QtNetwork/private/qsslsocket_p.h>

#include <optional>

class ModernWindowTestAccess
{
public:
    // The session the program kept after one request, its connections closed since.
    static QByteArray keptSession(const ServiceFixture& service)
    {
        ModernWindow window(service.windowEnvironment());
        QNetworkReply* reply =
            window.sendServiceRequest(ServiceApi::categoriesUrl(service.origin()), ServiceReplyKind::Json);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        return finished.wait(30000) && ServiceApi::succeeded(reply) ? window.serviceSslConfiguration.sessionTicket()
                                                                    : QByteArray();
    }
};

namespace {

// One handshake offering session: whether it resumed it (which Qt keeps
// private), nothing when the handshake failed.
std::optional<bool> resumes(const ServiceFixture& service, const QByteArray& session, QByteArray* newSession = nullptr)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(service.caCertificates());
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    configuration.setSessionTicket(session);
    QSslSocket socket;
    QSignalSpy tickets(&socket, &QSslSocket::newSessionTicketReceived);
    socket.setSslConfiguration(configuration);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), service.port());
    if (!socket.waitForEncrypted(30000))
        return {};
    if (newSession) {
        // The ticket follows the handshake; until then the session cannot be resumed.
        socket.write("GET /velmora/api/categories HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        while (tickets.isEmpty() && socket.waitForReadyRead(30000)) {
        }
        *newSession = socket.sslConfiguration().sessionTicket();
    }
    return static_cast<QSslSocketPrivate*>(QObjectPrivate::get(&socket))->configuration.peerSessionShared;
}

} // namespace

class TestServiceTlsSessions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newConnectionResumes()
    {
        ServiceFixture service, otherService;
        QVERIFY2(service.start() && otherService.start(),
                 qPrintable(service.errorString() + otherService.errorString()));
        QByteArray session;
        QVERIFY(resumes(service, {}, &session) == false && !session.isEmpty());
        QVERIFY(resumes(service, session) == true);
        // Same certificate, keys of its own: a full handshake, which succeeds.
        QVERIFY(resumes(otherService, session) == false);

        const QByteArray kept = ModernWindowTestAccess::keptSession(service);
        QVERIFY(resumes(service, kept) == true);
        QSslConfiguration configuration;
        configuration.setSessionTicket(kept);
        QVERIFY(!ServiceApi::sslConfigurationFor(configuration, service.origin(),
                                                 ServiceApi::categoriesUrl(service.origin()))
                     .sessionTicket()
                     .isEmpty());
        for (const QString& elsewhere : {otherService.origin(), QStringLiteral("https://example.org")}) {
            const QUrl url = ServiceApi::categoriesUrl(elsewhere);
            QVERIFY(ServiceApi::sslConfigurationFor(configuration, service.origin(), url).sessionTicket().isEmpty());
        }
    }
};

VELMORA_TEST_MAIN(TestServiceTlsSessions)
#include "test_service_tls_sessions.moc"
