#pragma once

#include <QtGlobal>

// What one client may cost the service. Each has a command-line flag; the
// defaults suit a home server with a handful of clients.
struct ConnectionLimits
{
    // Connections open at once (--max-connections). At the limit, connections
    // idle between requests and handshakes older than handshakeGraceMs are
    // closed, oldest first, to admit new ones; with none of those accepting pauses.
    int maxConnections = 256;
    // Connections open at once from one address, a trusted proxy excepted
    // (--max-connections-per-address); beyond it the same making of room,
    // among that address's own connections, or the new one is closed.
    int maxConnectionsPerAddress = 32;
    // A handshake this old may be closed to make room.
    int handshakeGraceMs = 1000;
    // Time to finish the TLS handshake (--handshake-timeout, seconds).
    int handshakeTimeoutMs = 10'000;
    // Time to send a whole request, and longest pause while an answer is
    // taken (--idle-timeout, seconds).
    int idleTimeoutMs = 30'000;
    // Request line and headers together; above it, 431 (--max-header-size).
    qsizetype maxHeaderBytes = 16 * 1024;
    // Answer bytes held for one connection beyond what the system buffers (--send-buffer).
    qint64 sendBufferBytes = 256 * 1024;
};
