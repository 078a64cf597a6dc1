#pragma once

#include "connection_limits.h"
#include "http_connection.h"

#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>

#include <optional>

// Accepts TCP connections and gives each its own HttpConnection at once:
// nothing waits in a queue of pending connections, and a connection that
// closes or stalls at any point, the TLS handshake included, is counted out
// when it goes. At the connection limit, or when the system refuses a
// descriptor, accepting pauses until a connection closes; connections the
// system handed over in the same burst wait, unstarted, for a free place.
class HttpListener : public QTcpServer
{
    Q_OBJECT

public:
    // Without tls the connections speak plain HTTP (behind a local reverse proxy).
    HttpListener(const std::optional<QSslConfiguration>& tls, const ConnectionLimits& limits,
                 QObject* parent = nullptr);
    ~HttpListener() override;

    int openConnections() const { return m_open; }
    int connectionLimit() const { return m_limit; }

    // The descriptor limit allows fewer connections than asked: a note for the operator, or "".
    QString limitNote() const { return m_limitNote; }

Q_SIGNALS:
    void requestReady(HttpConnection* connection, const HttpRequest& request);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void startConnection(qintptr descriptor);
    void onAcceptError(QAbstractSocket::SocketError error);
    void updateAccepting();

    std::optional<QSslConfiguration> m_tls;
    ConnectionLimits m_limits;
    int m_limit = 0;
    int m_open = 0;
    QList<qintptr> m_waiting;
    bool m_paused = false;
    bool m_descriptorsShort = false;
    QTimer m_retryAccept;
    QString m_limitNote;
};
