#include "http_connection.h"

#include "http_caching.h"
#include "service_log.h"

#include <QDateTime>
#include <QFile>
#include <QSslSocket>

#include <unistd.h>

namespace {

constexpr qint64 chunkSize = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return QByteArrayLiteral("OK");
    case 304:
        return QByteArrayLiteral("Not Modified");
    case 400:
        return QByteArrayLiteral("Bad Request");
    case 404:
        return QByteArrayLiteral("Not Found");
    case 405:
        return QByteArrayLiteral("Method Not Allowed");
    case 413:
        return QByteArrayLiteral("Content Too Large");
    case 431:
        return QByteArrayLiteral("Request Header Fields Too Large");
    case 500:
        return QByteArrayLiteral("Internal Server Error");
    case 505:
        return QByteArrayLiteral("HTTP Version Not Supported");
    default:
        return QByteArrayLiteral("Unknown");
    }
}

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c <= ' ' || c >= 127 || QByteArrayView("()<>@,;:\\\"/[]?={}").contains(c))
            return false;
    }
    return true;
}

bool hasToken(const QByteArray& list, const QByteArray& token)
{
    const QList<QByteArray> parts = list.split(',');
    for (const QByteArray& part : parts) {
        if (part.trimmed().toLower() == token)
            return true;
    }
    return false;
}

// The Date header, made once a second.
QByteArray currentDate()
{
    static qint64 second = -1;
    static QByteArray text;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now != second) {
        second = now;
        text = HttpCaching::httpDate(now);
    }
    return text;
}

ParsedHead refused(ParsedHead head, int status, const QString& error)
{
    head.status = status;
    head.error = error;
    head.keepAlive = false;
    return head;
}

} // namespace

ParsedHead parseRequestHead(const QByteArray& text)
{
    ParsedHead head;
    const QList<QByteArray> lines = text.split('\n');
    const QList<QByteArray> requestLine = lines.constFirst().chopped(lines.constFirst().endsWith('\r')).split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine.at(0)))
        return refused(head, 400, QStringLiteral("malformed request line"));
    const QByteArray& method = requestLine.at(0);
    QByteArray target = requestLine.at(1);
    const QByteArray& version = requestLine.at(2);
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return refused(head, version.startsWith("HTTP/") ? 505 : 400, QStringLiteral("unsupported version"));
    for (const char c : target) {
        if (c <= ' ' || c >= 127)
            return refused(head, 400, QStringLiteral("malformed request target"));
    }
    // Absolute form: only the path and query count.
    if (target.startsWith("https://") || target.startsWith("http://")) {
        const qsizetype pathStart = target.indexOf('/', target.indexOf("//") + 2);
        target = pathStart < 0 ? QByteArrayLiteral("/") : target.mid(pathStart);
    }
    if (!target.startsWith('/'))
        return refused(head, 400, QStringLiteral("malformed request target"));
    const qsizetype question = target.indexOf('?');
    head.request.method = method;
    head.request.path = question < 0 ? target : target.left(question);
    head.request.query = question < 0 ? QByteArray() : target.mid(question + 1);
    head.request.head = method == "HEAD";

    QByteArray connection;
    bool hasBody = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).chopped(lines.at(i).endsWith('\r'));
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)))
            return refused(head, 400, QStringLiteral("malformed header line"));
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "if-none-match") {
            head.request.ifNoneMatch += (head.request.ifNoneMatch.isEmpty() ? "" : ",") + value;
        } else if (name == "if-modified-since") {
            head.request.ifModifiedSince = value;
        } else if (name == "x-forwarded-for") {
            // A proxy appends the address it saw to what the client sent.
            head.request.forwardedFor = value.mid(value.lastIndexOf(',') + 1).trimmed();
        } else if (name == "connection") {
            connection += ',' + value;
        } else if (name == "transfer-encoding") {
            hasBody = true;
        } else if (name == "content-length") {
            bool ok = false;
            const qint64 length = value.toLongLong(&ok);
            if (!ok || length < 0)
                return refused(head, 400, QStringLiteral("malformed Content-Length"));
            hasBody = hasBody || length > 0;
        }
    }
    const bool readOnly = method == "GET" || head.request.head;
    // A body is never read: refused before it is received.
    if (hasBody && readOnly)
        return refused(head, 413, QStringLiteral("a %1 request may not carry a body").arg(QString::fromLatin1(method)));
    head.keepAlive =
        readOnly && (version == "HTTP/1.1" ? !hasToken(connection, "close") : hasToken(connection, "keep-alive"));
    return head;
}

HttpConnection::HttpConnection(qintptr descriptor, const std::optional<QSslConfiguration>& tls,
                               const ConnectionLimits& limits, QObject* parent)
    : QObject(parent), m_socket(new QSslSocket(this)), m_limits(limits)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpConnection::onTimeout);
    if (!m_socket->setSocketDescriptor(descriptor)) {
        ::close(int(descriptor));
        m_state = State::Closed;
        QMetaObject::invokeMethod(this, &HttpConnection::closed, Qt::QueuedConnection);
        return;
    }
    m_peer = m_socket->peerAddress().toString();
    // What the client sends beyond one request head waits in the system's
    // buffers, not in ours.
    m_socket->setReadBufferSize(m_limits.maxHeaderBytes + 1);
    connect(m_socket, &QSslSocket::encrypted, this, &HttpConnection::onEncrypted);
    connect(m_socket, &QSslSocket::readyRead, this, &HttpConnection::readRequest);
    connect(m_socket, &QSslSocket::bytesWritten, this, &HttpConnection::pump);
    connect(m_socket, &QSslSocket::encryptedBytesWritten, this, &HttpConnection::pump);
    connect(m_socket, &QSslSocket::disconnected, this, &HttpConnection::finish);
    connect(m_socket, &QSslSocket::errorOccurred, this, &HttpConnection::finish);
    if (!tls) {
        // Headers and body go in separate writes: without this a proxy's
        // delayed acknowledgement holds each answer's tail for tens of ms.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Plain HTTP: reading starts once the listener has connected to us.
        QMetaObject::invokeMethod(this, &HttpConnection::onEncrypted, Qt::QueuedConnection);
        return;
    }
    m_socket->setSslConfiguration(*tls);
    m_timer.start(m_limits.handshakeTimeoutMs);
    m_socket->startServerEncryption();
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::onEncrypted()
{
    if (m_state != State::Handshake)
        return;
    m_state = State::Reading;
    m_timer.start(m_limits.idleTimeoutMs);
    readRequest();
}

void HttpConnection::readRequest()
{
    if (m_state != State::Reading)
        return;
    const qsizetype room = m_limits.maxHeaderBytes + 1 - m_buffer.size();
    if (room > 0 && m_socket->bytesAvailable() > 0)
        m_buffer += m_socket->read(std::min<qint64>(room, m_socket->bytesAvailable()));
    // Blank lines before a request are allowed.
    while (m_buffer.startsWith("\r\n"))
        m_buffer.remove(0, 2);
    const qsizetype end = m_buffer.indexOf("\r\n\r\n", std::max<qsizetype>(0, m_scanned - 3));
    const bool tooLarge = end < 0 ? m_buffer.size() > m_limits.maxHeaderBytes : end + 4 > m_limits.maxHeaderBytes;
    if (tooLarge) {
        refuse(431, QStringLiteral("request head above %1 bytes").arg(m_limits.maxHeaderBytes));
        return;
    }
    if (end < 0) {
        m_scanned = m_buffer.size();
        return;
    }
    const ParsedHead head = parseRequestHead(m_buffer.left(end));
    m_buffer.remove(0, end + 4);
    m_scanned = 0;
    if (head.status != 0) {
        refuse(head.status, head.error);
        return;
    }
    m_keepAlive = head.keepAlive;
    m_head = head.request.head;
    m_state = State::Handling;
    m_timer.stop();
    HttpRequest request = head.request;
    request.peer = m_peer;
    request.received.start();
    emit requestReady(request);
}

void HttpConnection::refuse(int status, const QString& error)
{
    serviceLog(QStringLiteral("%1 - %2 (%3)").arg(m_peer).arg(status).arg(error));
    m_keepAlive = false;
    m_head = false;
    const ServiceResponse response = RequestHandler::failure(status, error);
    send(response, response.body, nullptr, response.body.size());
}

void HttpConnection::respond(const ServiceResponse& response, std::unique_ptr<QFile> file, qint64 fileSize)
{
    if (m_state != State::Handling)
        return;
    if (file)
        send(response, {}, std::move(file), fileSize);
    else
        send(response, response.body, nullptr, response.body.size());
}

void HttpConnection::send(const ServiceResponse& response, const QByteArray& body, std::unique_ptr<QFile> file,
                          qint64 bodySize)
{
    const bool notModified = response.status == 304;
    m_out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) +
            "\r\nDate: " + currentDate();
    // A 304 carries the validators and caching of the answer it stands for, and no body.
    if (!notModified)
        m_out += "\r\nContent-Type: " + response.contentType + "\r\nContent-Length: " + QByteArray::number(bodySize);
    if (!response.etag.isEmpty())
        m_out += "\r\nETag: " + response.etag;
    if (response.lastModified >= 0)
        m_out += "\r\nLast-Modified: " + HttpCaching::httpDate(response.lastModified);
    m_out += "\r\nCache-Control: " +
             (response.cacheControl.isEmpty() ? HttpCaching::failureCacheControl() : response.cacheControl) +
             "\r\nConnection: " + (m_keepAlive ? "keep-alive" : "close") + "\r\n\r\n";
    if (!m_head && !notModified) {
        m_out += body;
        m_file = std::move(file);
        m_fileLeft = m_file ? bodySize : 0;
    }
    m_outOffset = 0;
    m_state = State::Sending;
    m_timer.start(m_limits.idleTimeoutMs);
    pump();
}

void HttpConnection::pump()
{
    // Progress of an answer, including the tail of one already handed over, keeps the connection.
    if (m_state == State::Sending || m_state == State::Closing ||
        (m_state == State::Reading && m_buffer.isEmpty() && m_socket->bytesToWrite() > 0))
        m_timer.start(m_limits.idleTimeoutMs);
    if (m_state != State::Sending)
        return;
    while (m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite() < m_limits.sendBufferBytes) {
        if (m_outOffset < m_out.size()) {
            const qint64 size = std::min<qint64>(chunkSize, m_out.size() - m_outOffset);
            m_socket->write(m_out.constData() + m_outOffset, size);
            m_outOffset += size;
            continue;
        }
        if (m_file && m_fileLeft > 0) {
            const QByteArray chunk = m_file->read(std::min(chunkSize, m_fileLeft));
            if (chunk.isEmpty()) {
                // The file shrank under us: the framing cannot be kept.
                serviceLog(QStringLiteral("%1 - answer cut short: %2").arg(m_peer, m_file->errorString()));
                m_socket->abort();
                finish();
                return;
            }
            m_socket->write(chunk);
            m_fileLeft -= chunk.size();
            continue;
        }
        answerSent();
        return;
    }
}

void HttpConnection::answerSent()
{
    m_out.clear();
    m_outOffset = 0;
    m_file.reset();
    if (!m_keepAlive) {
        m_state = State::Closing;
        m_timer.start(m_limits.idleTimeoutMs);
        m_socket->disconnectFromHost();
        return;
    }
    m_state = State::Reading;
    m_timer.start(m_limits.idleTimeoutMs);
    // A request sent behind the previous one may already be waiting.
    if (!m_buffer.isEmpty() || m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &HttpConnection::readRequest, Qt::QueuedConnection);
}

void HttpConnection::onTimeout()
{
    m_socket->abort();
    finish();
}

void HttpConnection::finish()
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    m_timer.stop();
    m_file.reset();
    m_socket->abort();
    emit closed();
}
