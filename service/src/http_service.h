#pragma once

#include "catalogue.h"
#include "library_watcher.h"
#include "request_handler.h"
#include "thumbnail_cache.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QSet>
#include <QSslConfiguration>

// The HTTPS front of the wallpaper service: it indexes the library, keeps the
// index fresh, and hands each request to RequestHandler, writing one log line
// per request.
class HttpService : public QAbstractHttpServer
{
    Q_OBJECT

public:
    explicit HttpService(const QString& libraryRoot, QObject* parent = nullptr);

    // Indexes the library and starts listening over TLS. Returns the port, or
    // 0 with a reason.
    quint16 start(const QHostAddress& address, quint16 port, const QSslConfiguration& tls, QString* error);

    const Catalogue& catalogue() const { return m_catalogue; }
    LibraryWatcher& watcher() { return m_watcher; }

    // Reads the library again in the background; the index is replaced when done.
    void reindex();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    void indexNow();
    void onScanFinished();
    void apply(LibrarySnapshot snapshot, qint64 scanMs);

    QString m_root;
    Catalogue m_catalogue;
    ThumbnailCache m_thumbnails;
    RequestHandler m_handler;
    LibraryWatcher m_watcher;
    QSet<QString> m_reportedProblems;
    QFutureWatcher<LibrarySnapshot> m_scan;
    QElapsedTimer m_scanTimer;
    bool m_scanAgain = false;
};

// Writes one line to the service log (standard error), prefixed with the time.
void serviceLog(const QString& line);
