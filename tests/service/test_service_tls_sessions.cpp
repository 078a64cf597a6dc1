// The program keeps its TLS session with the service, which a new connection
// resumes with that service process alone, and offers it to no other server.

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
        return finished.wait(30000) && ServiceApi::succeeded(reply) ? window.serviceSslConfiguration->sessionTicket()
                                                                    : QByteArray();
    }
};

namespace {

// One handshake offering session: whether it resumed it (which Qt keeps
// private), nothing when the handshake failed.
std::optional<bool> resumes(const ServiceFixture& service, const QByteArray& session)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(service.caCertificates());
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    configuration.setSessionTicket(session);
    QSslSocket socket;
    socket.setSslConfiguration(configuration);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), service.port());
    if (!socket.waitForEncrypted(30000))
        return {};
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
        const QByteArray kept = ModernWindowTestAccess::keptSession(service);
        QVERIFY(resumes(service, kept) == true);
        // Same certificate, keys of its own: a full handshake, which succeeds.
        QVERIFY(resumes(otherService, kept) == false);

        QSslConfiguration configuration;
        configuration.setSessionTicket(kept);
        for (const QString& elsewhere : {otherService.origin(), QStringLiteral("https://example.org")}) {
            const QUrl url = ServiceApi::categoriesUrl(elsewhere);
            QVERIFY(ServiceApi::sslConfigurationFor(configuration, service.origin(), url).sessionTicket().isEmpty());
        }
    }
};

VELMORA_TEST_MAIN(TestServiceTlsSessions)
#include "test_service_tls_sessions.moc"
