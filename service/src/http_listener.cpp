#include "http_listener.h"

#include "service_log.h"
#include "tls_session_share.h"

#include <algorithm>

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Descriptors kept for everything but connections: the library watch, the
// thumbnail workers, the log.
constexpr rlim_t reservedDescriptors = 64;
constexpr int acceptRetryMs = 1000;

} // namespace

HttpListener::HttpListener(const std::optional<QSslConfiguration>& tls, const ConnectionLimits& limits, QObject* parent)
    : QTcpServer(parent), m_tls(tls ? std::make_unique<TlsSessionShare>(*tls) : nullptr), m_limits(limits),
      m_limit(std::max(1, limits.maxConnections))
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
    m_retryRoom.setInterval(std::max(100, m_limits.handshakeGraceMs / 2));
    connect(&m_retryRoom, &QTimer::timeout, this, &HttpListener::admitWaiting);
}

HttpListener::~HttpListener()
{
    for (const qintptr descriptor : std::as_const(m_waiting))
        ::close(int(descriptor));
}

void HttpListener::incomingConnection(qintptr descriptor)
{
    // Qt accepts a whole burst before a pause takes effect: the excess waits.
    m_waiting << descriptor;
    admitWaiting();
}

void HttpListener::admitWaiting()
{
    if (m_admitting)
        return;
    m_admitting = true;
    while (!m_waiting.isEmpty()) {
        const qintptr descriptor = m_waiting.constFirst();
        sockaddr_storage peer{};
        socklen_t peerSize = sizeof peer;
        QHostAddress address;
        if (::getpeername(int(descriptor), reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0)
            address.setAddress(reinterpret_cast<const sockaddr*>(&peer));
        const bool limited = m_tls && !address.isNull() && !address.isEqual(m_unlimited);
        if (limited && m_perAddress.value(address) >= m_limits.maxConnectionsPerAddress && !makeRoom(address)) {
            m_waiting.removeFirst();
            ::close(int(descriptor));
            // Once per address while it stays at its limit: a flood must not flood the log.
            if (!m_refusedAddresses.contains(address)) {
                m_refusedAddresses.insert(address);
                serviceLog(QStringLiteral("%1 - refused: %2 connections open from this address "
                                          "(--max-connections-per-address)")
                               .arg(address.toString())
                               .arg(m_limits.maxConnectionsPerAddress));
            }
            continue;
        }
        if (m_connections.size() >= m_limit && !makeRoom({}))
            break;
        m_waiting.removeFirst();
        startConnection(descriptor, address);
    }
    m_admitting = false;
    updateAccepting();
}

bool HttpListener::makeRoom(const QHostAddress& address)
{
    const auto oldest = std::find_if(m_connections.cbegin(), m_connections.cend(), [&](const auto& entry) {
        return (address.isNull() || entry.second.isEqual(address)) &&
               entry.first->isReclaimable(m_limits.handshakeGraceMs);
    });
    if (oldest == m_connections.cend())
        return false;
    // Its closed() takes it out of the count at once.
    oldest->first->reclaim();
    return true;
}

void HttpListener::startConnection(qintptr descriptor, const QHostAddress& address)
{
    auto* connection = new HttpConnection(descriptor, m_tls.get(), m_limits, this);
    m_connections.append({connection, address});
    ++m_perAddress[address];
    connect(connection, &HttpConnection::requestReady, this,
            [this, connection](const HttpRequest& request) { emit requestReady(connection, request); });
    connect(connection, &HttpConnection::closed, this, [this, connection, address] {
        m_connections.removeIf([connection](const auto& entry) { return entry.first == connection; });
        if (--m_perAddress[address] <= 0)
            m_perAddress.remove(address);
        m_refusedAddresses.remove(address);
        connection->deleteLater();
        m_descriptorsShort = false;
        admitWaiting();
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
    const bool full = m_connections.size() + m_waiting.size() >= m_limit;
    // Room may appear without any connection closing: look again now and then.
    if (full && !m_retryRoom.isActive())
        m_retryRoom.start();
    else if (!full)
        m_retryRoom.stop();
    // Full but with room to make: go on accepting, each newcomer makes its own.
    const auto roomToMake = [this] {
        return m_waiting.isEmpty() &&
               std::any_of(m_connections.cbegin(), m_connections.cend(),
                           [this](const auto& entry) { return entry.first->isReclaimable(m_limits.handshakeGraceMs); });
    };
    const bool pause = m_descriptorsShort || (full && !roomToMake());
    if (pause && !m_paused)
        pauseAccepting();
    else if (!pause && m_paused)
        resumeAccepting();
    m_paused = pause;
}
