#pragma once

#include "connection_limits.h"
#include "request_handler.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class QFile;
class QSocketNotifier;
class QSslSocket;
class TlsSessionShare;

// One request as read from the wire; the target is split but not decoded.
struct HttpRequest
{
    QByteArray method;
    QByteArray path;
    QByteArray query;
    QString peer;
    bool head = false;
    QElapsedTimer received;
    QByteArray ifNoneMatch;
    QByteArray ifModifiedSince;
    // The last address of X-Forwarded-For: trusted only from a known proxy.
    QByteArray forwardedFor;
};

// The head of a request (request line and headers, without the blank line)
// checked against what this service accepts. On failure status is the
// answer to give and the connection is closed after it.
struct ParsedHead
{
    HttpRequest request;
    bool keepAlive = true;
    int status = 0;
    QString error;
};
ParsedHead parseRequestHead(const QByteArray& head);

// One client over TLS, speaking HTTP/1.1 with keep-alive, one request at a
// time. Every state has a time limit (handshake, waiting for a whole
// request, an answer that makes no progress), the request head has a size
// limit, a GET or HEAD may not carry a body, and an answer is handed to the
// socket only as fast as the client takes it.
//
// Nothing is read while a request is answered, so a client that half-closes
// after its request still gets the whole answer. A connection that ends
// after an answer closes in stages: the answer (and close_notify) leave our
// buffers, our side is shut down, and what the client still sends is read
// and dropped until it closes too or has received everything; closing with
// unread input would reset the connection and destroy the answer in flight.
// Errors and limits abort at once.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    // Without tls the connection speaks plain HTTP.
    HttpConnection(qintptr descriptor, TlsSessionShare* tls, const ConnectionLimits& limits, QObject* parent = nullptr);
    ~HttpConnection() override;

    // Answers the request last announced by requestReady. file, when given,
    // is the body (fileSize bytes from its current position).
    void respond(const ServiceResponse& response, std::unique_ptr<QFile> file = nullptr, qint64 fileSize = 0);

    // Closing it frees a place at once and costs a client nothing it asked
    // for: idle between requests, or still in a handshake past its grace.
    bool isReclaimable(qint64 handshakeGraceMs) const;
    // Closes a reclaimable connection to admit another.
    void reclaim();

Q_SIGNALS:
    void requestReady(const HttpRequest& request);
    // Emitted once, when the connection is over; the owner deletes it then.
    void closed();

private:
    enum class State {
        Handshake,
        Reading,
        Handling,
        Sending,
        // Our last answer and close_notify leave Qt's buffers.
        Closing,
        // Our side is shut down; the client's last bytes are dropped.
        Draining,
        Closed
    };

    // Every change of state goes through here, with the timer and reading it implies.
    void enter(State state);
    void setReading(bool reading);
    void resumeReading();
    void onEncrypted();
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void drain();
    void checkDelivered();
    void readRequest();
    void refuse(int status, const QString& error, bool head);
    void send(const ServiceResponse& response, const QByteArray& body, std::unique_ptr<QFile> file, qint64 bodySize);
    void pump();
    void answerSent();
    void onTimeout();
    void finish();

    QSslSocket* m_socket;
    ConnectionLimits m_limits;
    State m_state = State::Handshake;
    QTimer m_timer;
    QElapsedTimer m_opened;
    QString m_peer;
    QByteArray m_buffer;
    qsizetype m_scanned = 0;
    bool m_keepAlive = true;
    bool m_head = false;
    QByteArray m_out;
    qsizetype m_outOffset = 0;
    std::unique_ptr<QFile> m_file;
    qint64 m_fileLeft = 0;
    bool m_readingPaused = false;
    // Draining: our own reference to the socket, kept after Qt lets go of it.
    int m_drainFd = -1;
    std::unique_ptr<QSocketNotifier> m_drainNotifier;
    QTimer m_deliveryCheck;
    qint64 m_drained = 0;
    qint64 m_unacknowledged = -1;
};
