#pragma once

#include "connection_limits.h"
#include "http_connection.h"
#include "tls_session_share.h"

#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>

#include <memory>
#include <optional>

// Accepts TCP connections and gives each its own HttpConnection at once:
// nothing waits in a queue of pending connections, and a connection that
// closes or stalls at any point, the TLS handshake included, is counted out
// when it goes. At the connection limit room is made by closing the oldest
// connection that costs nobody an answer (idle between requests, or a
// handshake past its grace); one address at its own limit makes room among
// its own connections, or its new one is closed. With no such room, or when
// the system refuses a descriptor, accepting pauses; connections the system
// handed over in the same burst wait, unstarted, for a free place.
class HttpListener : public QTcpServer
{
    Q_OBJECT

public:
    // Without tls the connections speak plain HTTP (behind a local reverse proxy).
    HttpListener(const std::optional<QSslConfiguration>& tls, const ConnectionLimits& limits,
                 QObject* parent = nullptr);
    ~HttpListener() override;

    int openConnections() const { return int(m_connections.size()); }
    int connectionLimit() const { return m_limit; }

    // The descriptor limit allows fewer connections than asked: a note for the operator, or "".
    QString limitNote() const { return m_limitNote; }

    // Connections from this address (a reverse proxy) are not limited per address.
    void setUnlimitedAddress(const QHostAddress& address) { m_unlimited = address; }

Q_SIGNALS:
    void requestReady(HttpConnection* connection, const HttpRequest& request);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void admitWaiting();
    bool makeRoom(const QHostAddress& address);
    void startConnection(qintptr descriptor, const QHostAddress& address);
    void onAcceptError(QAbstractSocket::SocketError error);
    void updateAccepting();

    std::unique_ptr<TlsSessionShare> m_tls;
    ConnectionLimits m_limits;
    int m_limit = 0;
    // Oldest first, with the address each came from.
    QList<std::pair<HttpConnection*, QHostAddress>> m_connections;
    QHash<QHostAddress, int> m_perAddress;
    QHostAddress m_unlimited;
    // Addresses refused since they were last below their limit: logged once.
    QSet<QHostAddress> m_refusedAddresses;
    QList<qintptr> m_waiting;
    bool m_admitting = false;
    // At the limit: a handshake may pass its grace, a connection fall idle.
    QTimer m_retryRoom;
    bool m_paused = false;
    bool m_descriptorsShort = false;
    QTimer m_retryAccept;
    QString m_limitNote;
};
