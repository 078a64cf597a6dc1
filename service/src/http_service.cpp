#include "http_service.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return QByteArrayLiteral("GET");
    case QHttpServerRequest::Method::Head:
        return QByteArrayLiteral("HEAD");
    case QHttpServerRequest::Method::Post:
        return QByteArrayLiteral("POST");
    case QHttpServerRequest::Method::Put:
        return QByteArrayLiteral("PUT");
    case QHttpServerRequest::Method::Delete:
        return QByteArrayLiteral("DELETE");
    case QHttpServerRequest::Method::Options:
        return QByteArrayLiteral("OPTIONS");
    case QHttpServerRequest::Method::Patch:
        return QByteArrayLiteral("PATCH");
    default:
        return QByteArrayLiteral("OTHER");
    }
}

} // namespace

void serviceLog(const QString& line)
{
    const QByteArray text =
        QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() + ' ' + line.toUtf8() + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

HttpService::HttpService(const QString& libraryRoot, QObject* parent)
    : QAbstractHttpServer(parent), m_root(QDir(libraryRoot).absolutePath()),
      m_thumbnails(m_root + QStringLiteral("/.mini")), m_handler(m_catalogue, m_thumbnails)
{
    connect(&m_watcher, &LibraryWatcher::changed, this, &HttpService::reindex);
    connect(&m_scan, &QFutureWatcher<LibrarySnapshot>::finished, this, &HttpService::onScanFinished);
}

quint16 HttpService::start(const QHostAddress& address, quint16 port, const QSslConfiguration& tls, QString* error)
{
    // Made before the library is watched, so that its creation is not taken for a change.
    QDir().mkpath(m_thumbnails.folder());
    indexNow();
    // Without this the server would silently speak plain HTTP.
    sslSetup(tls);
    const quint16 bound = listen(address, port);
    if (bound == 0 && error) {
        const QList<QTcpServer*> listeners = servers();
        *error = listeners.isEmpty() ? QStringLiteral("cannot listen") : listeners.constFirst()->errorString();
    }
    return bound;
}

void HttpService::indexNow()
{
    QElapsedTimer timer;
    timer.start();
    LibrarySnapshot snapshot = LibraryScanner::scan(m_root);
    apply(std::move(snapshot), timer.elapsed());
}

void HttpService::reindex()
{
    // Requests go on from the current index while the library is read again.
    if (m_scan.isRunning()) {
        m_scanAgain = true;
        return;
    }
    m_scanTimer.start();
    m_scan.setFuture(QtConcurrent::run([root = m_root] { return LibraryScanner::scan(root); }));
}

void HttpService::onScanFinished()
{
    apply(m_scan.result(), m_scanTimer.elapsed());
    if (m_scanAgain) {
        m_scanAgain = false;
        reindex();
    }
}

void HttpService::apply(LibrarySnapshot snapshot, qint64 scanMs)
{
    // Each problem is logged once, not at every re-index.
    const QSet<QString> problems(snapshot.problems.cbegin(), snapshot.problems.cend());
    for (const QString& problem : std::as_const(snapshot.problems)) {
        if (!m_reportedProblems.contains(problem))
            serviceLog(QStringLiteral("library: skipped ") + problem);
    }
    m_reportedProblems = problems;
    const QStringList folders = snapshot.folders;
    const qsizetype previouslyWatched = m_watcher.watchedCount();
    const qint64 previousStamp = m_catalogue.timestamp();
    m_catalogue.update(std::move(snapshot), QDateTime::currentMSecsSinceEpoch());

    QElapsedTimer timer;
    timer.start();
    const QStringList unwatched = m_watcher.watch(folders);
    if (!unwatched.isEmpty())
        serviceLog(QStringLiteral("library: cannot watch %1 folders (first: %2); changes inside them show at the next "
                                  "re-index")
                       .arg(unwatched.size())
                       .arg(unwatched.constFirst()));
    // A folder that appeared during the scan may have filled before its watch
    // existed: read once more now that it is watched.
    if (previouslyWatched > 0 && m_watcher.watchedCount() > previouslyWatched)
        m_watcher.poke();

    serviceLog(QStringLiteral("library: %1 categories, %2 pictures, timestamp %3%4 (scan %5 ms, watch %6 ms)")
                   .arg(m_catalogue.snapshot().categories.size())
                   .arg(m_catalogue.snapshot().pictures.size())
                   .arg(m_catalogue.timestamp())
                   .arg(m_catalogue.timestamp() == previousStamp ? QStringLiteral(", unchanged") : QString())
                   .arg(scanMs)
                   .arg(timer.elapsed()));
}

bool HttpService::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    QElapsedTimer timer;
    timer.start();
    const QUrl url = request.url();
    const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray query = url.query(QUrl::FullyEncoded).toLatin1();
    const QByteArray method = methodName(request.method());

    const ServiceResponse response = m_handler.handle(method, path, query);
    {
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.write(response.body,
                        {{QByteArrayLiteral("Content-Type"), response.contentType},
                         {QByteArrayLiteral("Cache-Control"), response.contentType.startsWith("image/")
                                                                  ? QByteArrayLiteral("public, max-age=86400")
                                                                  : QByteArrayLiteral("no-cache")}},
                        QHttpServerResponder::StatusCode(response.status));
    }
    // The server would keep the connection open regardless; a client that
    // asked to close it is waiting for that.
    if (request.value(QByteArrayLiteral("connection")).trimmed().toLower() == "close")
        socket->disconnectFromHost();

    QString line = request.remoteAddress().toString() + QLatin1Char(' ') + QString::fromLatin1(method) +
                   QLatin1Char(' ') + QString::fromLatin1(path);
    if (!query.isEmpty())
        line += QLatin1Char('?') + QString::fromLatin1(query);
    line += QStringLiteral(" %1 %2 B %3 ms")
                .arg(response.status)
                .arg(response.body.size())
                .arg(double(timer.nsecsElapsed()) / 1e6, 0, 'f', 2);
    if (!response.note.isEmpty())
        line += QStringLiteral(" (") + response.note + QLatin1Char(')');
    serviceLog(line);
    return true;
}

void HttpService::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    // handleRequest answers everything; this only keeps the contract.
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}
