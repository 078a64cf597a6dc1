#pragma once

#include "catalogue.h"
#include "connection_limits.h"
#include "http_listener.h"
#include "library_watcher.h"
#include "request_handler.h"
#include "service_log.h"
#include "thumbnail_cache.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QSslConfiguration>
#include <QTimer>

#include <memory>
#include <optional>

// The HTTPS front of the wallpaper service: it indexes the library, keeps the
// index fresh, and hands each request to RequestHandler, writing one log line
// per request. Files are sent as they are read; thumbnails are made on
// worker threads.
class HttpService : public QObject
{
    Q_OBJECT

public:
    explicit HttpService(const QString& libraryRoot, const ThumbnailSettings& thumbnails = {},
                         QObject* parent = nullptr);
    ~HttpService() override;

    // Indexes the library and starts listening, over TLS when tls is given.
    // Plain HTTP is for a reverse proxy on the same machine and is refused
    // on any address but a loopback one. Returns the port, or 0 with a reason.
    quint16 start(const QHostAddress& address, quint16 port, const std::optional<QSslConfiguration>& tls,
                  const ConnectionLimits& limits, QString* error);
    // The reason plain HTTP may not listen on address, or "".
    static QString plainListenRefusal(const QHostAddress& address);

    // Requests from this address (a reverse proxy) are logged under the
    // client address it names in X-Forwarded-For.
    void setTrustedProxy(const QHostAddress& proxy) { m_trustedProxy = proxy; }

    const Catalogue& catalogue() const { return m_catalogue; }
    LibraryWatcher& watcher() { return m_watcher; }

private:
    void indexNow();
    void onFoldersChanged();
    void readChanges();
    void onReadingFinished();
    void afterIndexChange(const QString& how);
    void onRequest(HttpConnection* connection, const HttpRequest& request);
    void answer(HttpConnection* connection, const HttpRequest& request, const ServiceResponse& response,
                std::unique_ptr<QFile> file = nullptr, qint64 fileSize = 0);

    QString m_root;
    Catalogue m_catalogue;
    ThumbnailCache m_thumbnails;
    RequestHandler m_handler;
    LibraryWatcher m_watcher;
    std::unique_ptr<HttpListener> m_listener;
    QSet<QString> m_reportedProblems;
    QHostAddress m_trustedProxy;
    // Folders whose watch reported a change, to read again.
    LibraryIndex::Changes m_changes;
    // Changes seen on watches the index does not know yet: folders being
    // read while they changed, known once that reading is applied.
    QSet<int> m_unknownWatches;
    // At most one reading at a time; the index changes only when it is applied.
    std::shared_ptr<LibraryIndex::Reading> m_reading;
    QFutureWatcher<void> m_readingDone;
    QElapsedTimer m_readingTimer;
    // Folders the system would not watch are read again now and then.
    QTimer m_unwatchedPoll;
    qsizetype m_unwatchedReported = 0;
};
