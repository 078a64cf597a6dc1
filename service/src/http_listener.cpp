#include "http_listener.h"

#include "service_log.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Descriptors kept for everything but connections: the library watch, the
// thumbnail workers, the log.
constexpr rlim_t reservedDescriptors = 64;
constexpr int acceptRetryMs = 1000;

} // namespace

HttpListener::HttpListener(const std::optional<QSslConfiguration>& tls, const ConnectionLimits& limits, QObject* parent)
    : QTcpServer(parent), m_tls(tls), m_limits(limits), m_limit(std::max(1, limits.maxConnections))
{
    // A connection may hold two descriptors: its socket and the file it sends.
    struct rlimit files;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
        const rlim_t room = files.rlim_cur > reservedDescriptors ? (files.rlim_cur - reservedDescriptors) / 2 : 1;
        if (room < rlim_t(m_limit)) {
            m_limit = int(std::max<rlim_t>(1, room));
            m_limitNote = QStringLiteral("at most %1 connections: %2 descriptors allowed (ulimit -n)")
                              .arg(m_limit)
                              .arg(files.rlim_cur);
        }
    }
    m_retryAccept.setSingleShot(true);
    m_retryAccept.setInterval(acceptRetryMs);
    connect(&m_retryAccept, &QTimer::timeout, this, [this] {
        m_descriptorsShort = false;
        updateAccepting();
    });
    connect(this, &QTcpServer::acceptError, this, &HttpListener::onAcceptError);
}

HttpListener::~HttpListener()
{
    for (const qintptr descriptor : std::as_const(m_waiting))
        ::close(int(descriptor));
}

void HttpListener::incomingConnection(qintptr descriptor)
{
    // Qt accepts a whole burst before a pause takes effect: the excess waits.
    if (m_open >= m_limit)
        m_waiting << descriptor;
    else
        startConnection(descriptor);
    updateAccepting();
}

void HttpListener::startConnection(qintptr descriptor)
{
    auto* connection = new HttpConnection(descriptor, m_tls, m_limits, this);
    ++m_open;
    connect(connection, &HttpConnection::requestReady, this,
            [this, connection](const HttpRequest& request) { emit requestReady(connection, request); });
    connect(connection, &HttpConnection::closed, this, [this, connection] {
        --m_open;
        connection->deleteLater();
        m_descriptorsShort = false;
        if (!m_waiting.isEmpty())
            startConnection(m_waiting.takeFirst());
        updateAccepting();
    });
}

void HttpListener::onAcceptError(QAbstractSocket::SocketError error)
{
    // Without a pause the listening socket stays readable and the loop spins.
    if (!m_descriptorsShort)
        serviceLog(
            QStringLiteral("cannot accept a connection (%1): pausing for %2 ms").arg(int(error)).arg(acceptRetryMs));
    m_descriptorsShort = true;
    m_retryAccept.start();
    updateAccepting();
}

void HttpListener::updateAccepting()
{
    const bool pause = m_descriptorsShort || m_open + m_waiting.size() >= m_limit;
    if (pause && !m_paused)
        pauseAccepting();
    else if (!pause && m_paused)
        resumeAccepting();
    m_paused = pause;
}
