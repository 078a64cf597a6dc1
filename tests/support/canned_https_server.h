#pragma once

#include "test_pki.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QTcpServer;

// A stand-in for a misbehaving wallpaper service on 127.0.0.1: it answers
// every request with one canned reply, or never answers. Used for the
// failures the real service does not produce (500, bodies that are not JSON,
// oversized bodies, silence).
class CannedHttpsServer : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        // TLS, then the canned reply to each request.
        Reply,
        // TLS, reads the request, never answers.
        SilentAfterRequest,
        // Plain TCP: accepts the connection and never says a word, not even TLS.
        SilentTcp,
    };

    explicit CannedHttpsServer(QObject* parent = nullptr);
    ~CannedHttpsServer() override;

    // Listens on 127.0.0.1 with a free port. The certificate defaults to one
    // of the test CA for 127.0.0.1.
    bool listen(Mode mode = Mode::Reply, const TestCertificate& certificate = {});

    // The canned reply. With chunked the body is sent without a length, in
    // pieces, as a server streaming a body of unknown size would.
    void setReply(int status, const QByteArray& body, const QByteArray& contentType = "application/json",
                  bool chunked = false);

    // Sends the canned reply's body (with its length announced) in this many
    // pieces, one every intervalMs, as a slow link would; with stallAfter >= 0
    // it stops after that many pieces and keeps the connection open.
    void setTrickle(int pieces, int intervalMs, int stallAfter = -1);

    struct Answer
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        // Sent as a Location header when not empty (for redirects).
        QByteArray location = {};
    };
    // Decides each reply from the request target instead, for a service
    // whose answers depend on the question.
    void setResponder(std::function<Answer(const QByteArray& target)> responder);

    quint16 port() const;
    QString origin() const;
    // Request targets received so far, in order.
    QList<QByteArray> requests() const { return m_requests; }
    // Connections accepted so far (with TLS: once their handshake is done).
    int connections() const { return m_connections; }

private:
    void serve(class QTcpSocket* socket);
    void trickle(class QTcpSocket* socket, const QByteArray& response);
    QByteArray response(const QByteArray& target) const;

    QTcpServer* m_server = nullptr;
    Mode m_mode = Mode::Reply;
    int m_status = 200;
    QByteArray m_body;
    QByteArray m_contentType = "application/json";
    bool m_chunked = false;
    int m_tricklePieces = 0;
    int m_trickleIntervalMs = 0;
    int m_trickleStallAfter = -1;
    QList<QByteArray> m_requests;
    int m_connections = 0;
    std::function<Answer(const QByteArray&)> m_responder;
};
