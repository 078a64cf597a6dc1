#pragma once

#include "connection_limits.h"
#include "request_handler.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSslConfiguration>
#include <QTimer>

#include <memory>
#include <optional>

class QFile;
class QSslSocket;

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
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    // Without tls the connection speaks plain HTTP.
    HttpConnection(qintptr descriptor, const std::optional<QSslConfiguration>& tls, const ConnectionLimits& limits,
                   QObject* parent = nullptr);
    ~HttpConnection() override;

    // Answers the request last announced by requestReady. file, when given,
    // is the body (fileSize bytes from its current position).
    void respond(const ServiceResponse& response, std::unique_ptr<QFile> file = nullptr, qint64 fileSize = 0);

Q_SIGNALS:
    void requestReady(const HttpRequest& request);
    // Emitted once, when the connection is over; the owner deletes it then.
    void closed();

private:
    enum class State { Handshake, Reading, Handling, Sending, Closing, Closed };

    void onEncrypted();
    void readRequest();
    void refuse(int status, const QString& error);
    void send(const ServiceResponse& response, const QByteArray& body, std::unique_ptr<QFile> file, qint64 bodySize);
    void pump();
    void answerSent();
    void onTimeout();
    void finish();

    QSslSocket* m_socket;
    ConnectionLimits m_limits;
    State m_state = State::Handshake;
    QTimer m_timer;
    QString m_peer;
    QByteArray m_buffer;
    qsizetype m_scanned = 0;
    bool m_keepAlive = true;
    bool m_head = false;
    QByteArray m_out;
    qsizetype m_outOffset = 0;
    std::unique_ptr<QFile> m_file;
    qint64 m_fileLeft = 0;
};
