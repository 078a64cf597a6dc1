#include "tls_session_share.h"

#include <QSslSocket>
// Qt lends a TLS context to a socket only through its private interface
// (its own HTTP client shares one between the connections to one host).
#include <QtNetwork/private/qsslsocket_p.h>

TlsSessionShare::TlsSessionShare(QSslConfiguration configuration, qint64 keyLifetimeMs)
    : m_configuration(std::move(configuration)), m_keyLifetimeMs(keyLifetimeMs)
{
    // Without this the context would keep each connection's finished
    // session and hand it to the next connection's, which is a client's
    // way of resuming, never a server's.
    m_configuration.setSslOption(QSsl::SslOptionDisableSessionSharing, true);
}

TlsSessionShare::~TlsSessionShare() = default;

void TlsSessionShare::startServerEncryption(QSslSocket* socket)
{
    socket->setSslConfiguration(m_configuration);
    if (m_context && m_contextAge.elapsed() >= m_keyLifetimeMs)
        m_context.reset();
    if (m_context)
        QSslSocketPrivate::checkSettingSslContext(socket, m_context);
    socket->startServerEncryption();
    // The first socket builds the context (none when the configuration is
    // refused: the next one tries again and fails the same way, as before).
    if (!m_context) {
        m_context = QSslSocketPrivate::sslContext(socket);
        m_contextAge.start();
    }
}
