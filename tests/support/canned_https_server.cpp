#include "canned_https_server.h"

#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

CannedHttpsServer::CannedHttpsServer(QObject* parent) : QObject(parent) {}

CannedHttpsServer::~CannedHttpsServer() = default;

bool CannedHttpsServer::listen(Mode mode, const TestCertificate& certificate)
{
    m_mode = mode;
    if (mode == Mode::SilentTcp) {
        m_server = new QTcpServer(this);
    } else {
        const TestCertificate used = certificate.isValid() ? certificate : TestPki::shared().serverCertificate();
        auto* server = new QSslServer(this);
        server->setSslConfiguration(TestPki::serverConfiguration(used));
        m_server = server;
    }
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            ++m_connections;
            serve(socket);
        }
    });
    return m_server->listen(QHostAddress(QHostAddress::LocalHost), 0);
}

void CannedHttpsServer::setReply(int status, const QByteArray& body, const QByteArray& contentType, bool chunked)
{
    m_status = status;
    m_body = body;
    m_contentType = contentType;
    m_chunked = chunked;
}

quint16 CannedHttpsServer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

QString CannedHttpsServer::origin() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(port());
}

void CannedHttpsServer::serve(QTcpSocket* socket)
{
    socket->setParent(this);
    if (m_mode == Mode::SilentTcp)
        return;
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        *buffer += socket->readAll();
        qsizetype end;
        while ((end = buffer->indexOf("\r\n\r\n")) >= 0) {
            const QByteArray head = buffer->left(end);
            buffer->remove(0, end + 4);
            const QByteArray target = head.split(' ').value(1);
            m_requests << target;
            if (m_mode == Mode::Reply && m_tricklePieces > 0)
                trickle(socket, response(target));
            else if (m_mode == Mode::Reply)
                socket->write(response(target));
        }
    });
}

void CannedHttpsServer::setTrickle(int pieces, int intervalMs, int stallAfter)
{
    m_tricklePieces = pieces;
    m_trickleIntervalMs = intervalMs;
    m_trickleStallAfter = stallAfter;
}

void CannedHttpsServer::trickle(QTcpSocket* socket, const QByteArray& response)
{
    const qsizetype bodyAt = response.indexOf("\r\n\r\n") + 4;
    socket->write(response.left(bodyAt));
    const QByteArray body = response.mid(bodyAt);
    const qsizetype piece = (body.size() + m_tricklePieces - 1) / m_tricklePieces;
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<int>(0);
    connect(timer, &QTimer::timeout, socket, [this, socket, timer, body, piece, sent] {
        if (*sent == m_trickleStallAfter || qsizetype(*sent) * piece >= body.size()) {
            timer->stop();
            return;
        }
        socket->write(body.mid(qsizetype(*sent) * piece, piece));
        ++*sent;
    });
    timer->start(m_trickleIntervalMs);
}

void CannedHttpsServer::setResponder(std::function<Answer(const QByteArray& target)> responder)
{
    m_responder = std::move(responder);
}

QByteArray CannedHttpsServer::response(const QByteArray& target) const
{
    if (m_responder) {
        const Answer answer = m_responder(target);
        return "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status) +
               "\r\nContent-Type: " + answer.contentType +
               (answer.location.isEmpty() ? QByteArray() : "\r\nLocation: " + answer.location) +
               "\r\nContent-Length: " + QByteArray::number(answer.body.size()) + "\r\n\r\n" + answer.body;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reasonPhrase(m_status) +
                      "\r\nContent-Type: " + m_contentType + "\r\n";
    if (!m_chunked)
        return head + "Content-Length: " + QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body;

    QByteArray out = head + "Transfer-Encoding: chunked\r\n\r\n";
    constexpr qsizetype piece = 64 * 1024;
    for (qsizetype at = 0; at < m_body.size(); at += piece) {
        const QByteArray chunk = m_body.mid(at, piece);
        out += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    }
    return out + "0\r\n\r\n";
}
