#pragma once

#include <QElapsedTimer>
#include <QSslConfiguration>

#include <memory>

class QSslContext;
class QSslSocket;

// The service's connections share one TLS context, so that a client coming
// back on a new connection resumes its session from a ticket instead of a
// full handshake (no certificate, no signature). The tickets are sealed with
// keys the context draws at random in this process; the context is replaced
// once keyLifetimeMs has passed, which retires its keys: a ticket sealed
// under older keys only costs its client a full handshake. One listener has
// one certificate, so a ticket never resumes a session under another.
class TlsSessionShare
{
public:
    static constexpr qint64 defaultKeyLifetimeMs = 60 * 60 * 1000;

    explicit TlsSessionShare(QSslConfiguration configuration, qint64 keyLifetimeMs = defaultKeyLifetimeMs);
    ~TlsSessionShare();

    // Starts the server side of TLS on socket, in the shared context.
    void startServerEncryption(QSslSocket* socket);

private:
    QSslConfiguration m_configuration;
    qint64 m_keyLifetimeMs;
    std::shared_ptr<QSslContext> m_context;
    QElapsedTimer m_contextAge;
};
