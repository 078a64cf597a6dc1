#include "http_connection.h"

#include "http_caching.h"
#include "service_log.h"
#include "tls_session_share.h"

#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>
#include <QSslSocket>

#include <cerrno>

#include <cctype>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 chunkSize = 64 * 1024;
// Closing: what a client may still send after our last answer before we stop listening to it.
constexpr qint64 maxDrainBytes = 1024 * 1024;
// Closing: how often to ask whether the client has acknowledged the whole answer.
constexpr int deliveryCheckMs = 100;

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
    case 503:
        return QByteArrayLiteral("Service Unavailable");
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

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A Host value or an authority: a name or address and a port, nothing that
// would end or extend it (no path, query or user information).
bool isHost(const QByteArray& text)
{
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && !QByteArrayView("-._~!$&'()*+,;=:[]%").contains(c))
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
    head.request.method = method;
    head.request.head = method == "HEAD";
    // HTTP/1.x beyond 1.1 is answered as 1.1; another major version is not spoken here.
    if (version.size() != 8 || !version.startsWith("HTTP/") || !isDigit(version.at(5)) || version.at(6) != '.' ||
        !isDigit(version.at(7)))
        return refused(head, 400, QStringLiteral("malformed version"));
    if (version.at(5) != '1')
        return refused(head, 505, QStringLiteral("unsupported version"));
    const bool http10 = version.at(7) == '0';
    for (const char c : target) {
        if (c <= ' ' || c >= 127)
            return refused(head, 400, QStringLiteral("malformed request target"));
    }
    // Absolute form: the authority ends at the first '/', '?' or '#'; only the path and query count.
    const bool absolute = target.startsWith("https://") || target.startsWith("http://");
    if (absolute) {
        const qsizetype authority = target.indexOf("//") + 2;
        qsizetype end = authority;
        while (end < target.size() && target.at(end) != '/' && target.at(end) != '?' && target.at(end) != '#')
            ++end;
        if (!isHost(target.mid(authority, end - authority)))
            return refused(head, 400, QStringLiteral("malformed request target"));
        // An empty path is "/"; what follows it stays where it was (a query names no resource of ours).
        const QByteArray rest = target.mid(end);
        target = rest.startsWith('/') ? rest : '/' + rest;
    }
    if (!target.startsWith('/') || target.contains('#'))
        return refused(head, 400, QStringLiteral("malformed request target"));
    const qsizetype question = target.indexOf('?');
    head.request.path = question < 0 ? target : target.left(question);
    head.request.query = question < 0 ? QByteArray() : target.mid(question + 1);

    QByteArray connection;
    int hosts = 0;
    int lengths = 0;
    qint64 length = 0;
    QByteArray transferEncoding;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).chopped(lines.at(i).endsWith('\r'));
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)))
            return refused(head, 400, QStringLiteral("malformed header line"));
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        // NUL, CR and the other controls have no place in a value: each reader would cut it elsewhere.
        for (const char c : value) {
            if ((quint8(c) < 0x20 && c != '\t') || c == 0x7f)
                return refused(head, 400, QStringLiteral("control character in a header value"));
        }
        if (name == "host") {
            if (++hosts > 1 || !isHost(value))
                return refused(head, 400, QStringLiteral("malformed or repeated Host"));
        } else if (name == "if-none-match") {
            head.request.ifNoneMatch += (head.request.ifNoneMatch.isEmpty() ? "" : ",") + value;
        } else if (name == "if-modified-since") {
            head.request.ifModifiedSince = value;
        } else if (name == "x-forwarded-for") {
            // A proxy appends the address it saw to what the client sent.
            head.request.forwardedFor = value.mid(value.lastIndexOf(',') + 1).trimmed();
        } else if (name == "connection") {
            connection += ',' + value;
        } else if (name == "transfer-encoding") {
            transferEncoding += ',' + value;
        } else if (name == "content-length") {
            // Exactly one, digits only: anything else lets two readers disagree on where the body ends.
            bool ok = !value.isEmpty() && value.size() <= 18 && ++lengths == 1;
            for (const char c : value)
                ok = ok && isDigit(c);
            if (!ok)
                return refused(head, 400, QStringLiteral("malformed or repeated Content-Length"));
            length = value.toLongLong();
        }
    }
    if (!http10 && hosts == 0)
        return refused(head, 400, QStringLiteral("no Host"));
    if (!transferEncoding.isEmpty()) {
        // Only a body whose last coding is chunked has an end; with a length besides, its framing is ambiguous.
        const QList<QByteArray> codings = transferEncoding.split(',');
        QByteArray last;
        for (const QByteArray& coding : codings) {
            if (!coding.trimmed().isEmpty())
                last = coding.trimmed().toLower();
        }
        if (last != "chunked" || lengths > 0 || http10)
            return refused(head, 400, QStringLiteral("invalid Transfer-Encoding"));
    }
    const bool hasBody = !transferEncoding.isEmpty() || length > 0;
    const bool readOnly = method == "GET" || head.request.head;
    // A body is never read: refused before it is received.
    if (hasBody && readOnly)
        return refused(head, 413, QStringLiteral("a %1 request may not carry a body").arg(QString::fromLatin1(method)));
    head.keepAlive = readOnly && (http10 ? hasToken(connection, "keep-alive") : !hasToken(connection, "close"));
    return head;
}

HttpConnection::HttpConnection(qintptr descriptor, TlsSessionShare* tls, const ConnectionLimits& limits,
                               QObject* parent)
    : QObject(parent), m_socket(new QSslSocket(this)), m_limits(limits)
{
    m_opened.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpConnection::onTimeout);
    m_deliveryCheck.setInterval(deliveryCheckMs);
    connect(&m_deliveryCheck, &QTimer::timeout, this, &HttpConnection::checkDelivered);
    if (!m_socket->setSocketDescriptor(descriptor)) {
        ::close(int(descriptor));
        enter(State::Closed);
        QMetaObject::invokeMethod(this, &HttpConnection::closed, Qt::QueuedConnection);
        return;
    }
    m_peer = m_socket->peerAddress().toString();
    setReading(true);
    connect(m_socket, &QSslSocket::encrypted, this, &HttpConnection::onEncrypted);
    connect(m_socket, &QSslSocket::readyRead, this, &HttpConnection::readRequest);
    connect(m_socket, &QSslSocket::bytesWritten, this, &HttpConnection::pump);
    connect(m_socket, &QSslSocket::encryptedBytesWritten, this, &HttpConnection::pump);
    connect(m_socket, &QSslSocket::disconnected, this, &HttpConnection::onDisconnected);
    connect(m_socket, &QSslSocket::errorOccurred, this, &HttpConnection::onError);
    enter(State::Handshake);
    if (!tls) {
        // Headers and body go in separate writes: without this a proxy's
        // delayed acknowledgement holds each answer's tail for tens of ms.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Plain HTTP: reading starts once the listener has connected to us.
        QMetaObject::invokeMethod(this, &HttpConnection::onEncrypted, Qt::QueuedConnection);
        return;
    }
    tls->startServerEncryption(m_socket);
}

HttpConnection::~HttpConnection()
{
    if (m_drainFd >= 0)
        ::close(m_drainFd);
}

bool HttpConnection::isReclaimable(qint64 handshakeGraceMs) const
{
    if (m_state == State::Handshake)
        return m_opened.elapsed() >= handshakeGraceMs;
    return m_state == State::Reading && m_buffer.isEmpty() && m_socket->bytesAvailable() == 0 &&
           m_socket->bytesToWrite() == 0 && m_socket->encryptedBytesToWrite() == 0;
}

void HttpConnection::reclaim()
{
    finish();
}

void HttpConnection::enter(State state)
{
    m_state = state;
    switch (state) {
    case State::Handshake:
        m_timer.start(m_limits.handshakeTimeoutMs);
        break;
    case State::Reading:
        // Reading goes on once the last answer has left our buffers: an end
        // of input seen earlier would make Qt drop what is still queued.
        m_timer.start(m_limits.idleTimeoutMs);
        QMetaObject::invokeMethod(this, &HttpConnection::resumeReading, Qt::QueuedConnection);
        break;
    case State::Handling:
        setReading(false);
        m_timer.stop();
        break;
    case State::Sending:
    case State::Closing:
        setReading(false);
        m_timer.start(m_limits.idleTimeoutMs);
        break;
    case State::Draining:
        m_timer.start(m_limits.idleTimeoutMs);
        m_deliveryCheck.start();
        break;
    case State::Closed:
        m_timer.stop();
        m_deliveryCheck.stop();
        m_drainNotifier.reset();
        break;
    }
}

void HttpConnection::setReading(bool reading)
{
    if (reading == !m_readingPaused && m_socket->readBufferSize() != 0)
        return;
    m_readingPaused = !reading;
    // What the client sends beyond one request head waits in the system's
    // buffers, not in ours. A negative size reads as a full buffer: Qt then
    // leaves the socket alone, its end of input included, until resumed.
    m_socket->setReadBufferSize(reading ? m_limits.maxHeaderBytes + 1 : -1);
    // A request sent behind the previous one may already be waiting.
    if (reading && (!m_buffer.isEmpty() || m_socket->bytesAvailable() > 0))
        QMetaObject::invokeMethod(this, &HttpConnection::readRequest, Qt::QueuedConnection);
}

void HttpConnection::resumeReading()
{
    if (m_state == State::Reading && m_readingPaused && m_socket->bytesToWrite() == 0 &&
        m_socket->encryptedBytesToWrite() == 0)
        setReading(true);
}

void HttpConnection::onEncrypted()
{
    if (m_state != State::Handshake)
        return;
    enter(State::Reading);
    readRequest();
}

void HttpConnection::onError(QAbstractSocket::SocketError error)
{
    // The client's close_notify, the connection under it still open: it has
    // said all it will, and still reads what it asked for.
    if (error == QAbstractSocket::RemoteHostClosedError && m_socket->socketDescriptor() >= 0) {
        m_keepAlive = false;
        if (m_state == State::Handling || m_state == State::Sending || m_state == State::Closing)
            return;
        if (m_state == State::Reading) {
            answerSent();
            return;
        }
    }
    finish();
}

void HttpConnection::onDisconnected()
{
    if (m_state != State::Closing || m_drainFd < 0) {
        finish();
        return;
    }
    // Everything we had is with the system now: send our FIN behind it and
    // drop what the client still sends until it has it all.
    ::shutdown(m_drainFd, SHUT_WR);
    m_drainNotifier = std::make_unique<QSocketNotifier>(m_drainFd, QSocketNotifier::Read);
    connect(m_drainNotifier.get(), &QSocketNotifier::activated, this, &HttpConnection::drain);
    enter(State::Draining);
    drain();
}

void HttpConnection::drain()
{
    char discard[16 * 1024];
    for (;;) {
        const ssize_t got = ::recv(m_drainFd, discard, sizeof discard, MSG_DONTWAIT);
        if (got > 0) {
            m_drained += got;
            if (m_drained > maxDrainBytes) {
                finish();
                return;
            }
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // The client closed too (or is gone): closing now resets nothing.
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            finish();
        return;
    }
}

void HttpConnection::checkDelivered()
{
    // Once the client has acknowledged every byte, a reset can destroy nothing.
    int unacknowledged = 0;
    if (::ioctl(m_drainFd, TIOCOUTQ, &unacknowledged) != 0 || unacknowledged == 0) {
        finish();
        return;
    }
    if (unacknowledged != m_unacknowledged)
        m_timer.start(m_limits.idleTimeoutMs);
    m_unacknowledged = unacknowledged;
}

void HttpConnection::readRequest()
{
    if (m_state != State::Reading || m_readingPaused)
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
        refuse(431, QStringLiteral("request head above %1 bytes").arg(m_limits.maxHeaderBytes), false);
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
        refuse(head.status, head.error, head.request.head);
        return;
    }
    m_keepAlive = m_keepAlive && head.keepAlive;
    m_head = head.request.head;
    enter(State::Handling);
    HttpRequest request = head.request;
    request.peer = m_peer;
    request.received.start();
    emit requestReady(request);
}

void HttpConnection::refuse(int status, const QString& error, bool head)
{
    serviceLog(QStringLiteral("%1 - %2 (%3)").arg(m_peer).arg(status).arg(error));
    m_keepAlive = false;
    // An answer to HEAD has no content, a refusal included.
    m_head = head;
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
    if (response.status == 405)
        m_out += "\r\nAllow: GET, HEAD";
    if (response.retryAfterSeconds >= 0)
        m_out += "\r\nRetry-After: " + QByteArray::number(response.retryAfterSeconds);
    m_out += "\r\nCache-Control: " +
             (response.cacheControl.isEmpty() ? HttpCaching::failureCacheControl() : response.cacheControl) +
             "\r\nConnection: " + (m_keepAlive ? "keep-alive" : "close") + "\r\n\r\n";
    if (!m_head && !notModified) {
        m_out += body;
        m_file = std::move(file);
        m_fileLeft = m_file ? bodySize : 0;
    }
    m_outOffset = 0;
    enter(State::Sending);
    pump();
}

void HttpConnection::pump()
{
    // Progress of an answer, including the tail of one already handed over, keeps the connection.
    if (m_state == State::Sending || m_state == State::Closing || (m_state == State::Reading && m_buffer.isEmpty()))
        m_timer.start(m_limits.idleTimeoutMs);
    // Looked at once the signal is over: the encrypted bytes of what was
    // just taken are only then in the socket's buffer.
    if (m_state == State::Reading && m_readingPaused)
        QMetaObject::invokeMethod(this, &HttpConnection::resumeReading, Qt::QueuedConnection);
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
        // Our own reference to the socket outlives Qt's, for the last stage of closing.
        m_drainFd = ::dup(int(m_socket->socketDescriptor()));
        enter(State::Closing);
        m_socket->disconnectFromHost();
        return;
    }
    enter(State::Reading);
}

void HttpConnection::onTimeout()
{
    finish();
}

void HttpConnection::finish()
{
    if (m_state == State::Closed)
        return;
    enter(State::Closed);
    m_file.reset();
    m_socket->abort();
    if (m_drainFd >= 0) {
        ::close(m_drainFd);
        m_drainFd = -1;
    }
    emit closed();
}
