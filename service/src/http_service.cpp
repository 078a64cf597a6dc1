#include "http_service.h"

#include "safe_file.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>

void serviceLog(const QString& line)
{
    const QByteArray text =
        QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() + ' ' + line.toUtf8() + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

HttpService::HttpService(const QString& libraryRoot, const ThumbnailSettings& thumbnails, QObject* parent)
    : QObject(parent), m_root(QDir(libraryRoot).absolutePath()), m_thumbnails(m_root, thumbnails),
      m_handler(m_catalogue)
{
    connect(&m_watcher, &LibraryWatcher::changed, this, &HttpService::reindex);
    connect(&m_scan, &QFutureWatcher<LibrarySnapshot>::finished, this, &HttpService::onScanFinished);
}

HttpService::~HttpService()
{
    // Connections go before the catalogue and the thumbnails they use.
    m_listener.reset();
}

quint16 HttpService::start(const QHostAddress& address, quint16 port, const QSslConfiguration& tls,
                           const ConnectionLimits& limits, QString* error)
{
    // Made before the library is watched, so that its creation is not taken for a change.
    const QString note = m_thumbnails.prepareFolder();
    if (!note.isEmpty())
        serviceLog(QStringLiteral("thumbnails: ") + note);
    indexNow();
    m_listener = std::make_unique<HttpListener>(tls, limits);
    connect(m_listener.get(), &HttpListener::requestReady, this, &HttpService::onRequest);
    if (!m_listener->limitNote().isEmpty())
        serviceLog(m_listener->limitNote());
    if (!m_listener->listen(address, port)) {
        if (error)
            *error = m_listener->errorString();
        return 0;
    }
    return m_listener->serverPort();
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

void HttpService::onRequest(HttpConnection* connection, const HttpRequest& request)
{
    const ServiceResponse response = m_handler.handle(request.method, request.path, request.query);
    switch (response.source) {
    case ServiceResponse::Source::Body:
        answer(connection, request, response);
        return;
    case ServiceResponse::Source::PictureFile: {
        // Sent as it is read; opened without following links, as a regular file only.
        FileStamp stamp;
        QString error;
        std::unique_ptr<QFile> file = SafeFile::openRegular(m_root, response.picture->relativePath, &stamp, &error);
        if (!file) {
            answer(connection, request,
                   RequestHandler::failure(404, QStringLiteral("Ressource introuvable"),
                                           QStringLiteral("cannot open ") + error));
            return;
        }
        answer(connection, request, response, std::move(file), stamp.size);
        return;
    }
    case ServiceResponse::Source::Thumbnail:
        m_thumbnails.thumbnail(
            *response.picture, connection, [this, connection, request](const ThumbnailCache::Result& thumbnail) {
                if (!thumbnail.ok()) {
                    answer(connection, request,
                           RequestHandler::failure(500, QStringLiteral("Miniature impossible"), thumbnail.error));
                    return;
                }
                ServiceResponse made;
                made.contentType = thumbnail.mimeType;
                made.body = thumbnail.data;
                made.note = thumbnail.note;
                answer(connection, request, made);
            });
        return;
    }
}

void HttpService::answer(HttpConnection* connection, const HttpRequest& request, const ServiceResponse& response,
                         std::unique_ptr<QFile> file, qint64 fileSize)
{
    const qint64 size = file ? fileSize : response.body.size();
    connection->respond(response, std::move(file), fileSize);

    QString line = request.peer + QLatin1Char(' ') + QString::fromLatin1(request.method) + QLatin1Char(' ') +
                   QString::fromLatin1(request.path);
    if (!request.query.isEmpty())
        line += QLatin1Char('?') + QString::fromLatin1(request.query);
    line += QStringLiteral(" %1 %2 B %3 ms")
                .arg(response.status)
                .arg(request.head ? 0 : size)
                .arg(double(request.received.nsecsElapsed()) / 1e6, 0, 'f', 2);
    if (!response.note.isEmpty())
        line += QStringLiteral(" (") + response.note + QLatin1Char(')');
    serviceLog(line);
}
