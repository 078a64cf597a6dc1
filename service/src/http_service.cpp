#include "http_service.h"

#include "http_caching.h"
#include "safe_file.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

#include <cctype>
#include <cstdio>

namespace {

constexpr int unwatchedPollMs = 60'000;

// The library's own time, not this process's: replicas started apart still
// give the same time stamp, hence the same answers and tags.
qint64 libraryTime(const LibraryIndex& index)
{
    const qint64 changedMs = index.changedMs();
    return changedMs > 0 ? changedMs : QDateTime::currentMSecsSinceEpoch();
}

} // namespace

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
    connect(&m_watcher, &LibraryWatcher::changed, this, &HttpService::onFoldersChanged);
    connect(&m_readingDone, &QFutureWatcher<void>::finished, this, &HttpService::onReadingFinished);
    m_unwatchedPoll.setInterval(unwatchedPollMs);
    connect(&m_unwatchedPoll, &QTimer::timeout, this, [this] {
        m_changes.unite(m_catalogue.index().unwatchedChanges());
        readChanges();
    });
}

HttpService::~HttpService()
{
    // Connections go before the catalogue and the thumbnails they use.
    m_listener.reset();
}

QString HttpService::plainListenRefusal(const QHostAddress& address)
{
    if (address.isLoopback())
        return {};
    return QStringLiteral("refusing to listen without TLS on %1: plain HTTP is only for a reverse proxy on the same "
                          "machine; use a loopback address (127.0.0.1 or ::1), or listen over TLS")
        .arg(address.toString());
}

quint16 HttpService::start(const QHostAddress& address, quint16 port, const std::optional<QSslConfiguration>& tls,
                           const ConnectionLimits& limits, QString* error)
{
    if (!tls) {
        const QString refusal = plainListenRefusal(address);
        if (!refusal.isEmpty()) {
            if (error)
                *error = refusal;
            return 0;
        }
    }
    // Made before the library is watched, so that its creation is not taken for a change.
    const QString note = m_thumbnails.prepareFolder();
    if (!note.isEmpty())
        serviceLog(QStringLiteral("thumbnails: ") + note);
    indexNow();
    m_listener = std::make_unique<HttpListener>(tls, limits);
    m_listener->setUnlimitedAddress(m_trustedProxy);
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
    // Every folder is watched before it is listed, so nothing that changes
    // from here on goes unseen; the service answers from the first request.
    QElapsedTimer timer;
    timer.start();
    LibraryIndex index = LibraryIndex::read(m_root, m_watcher.descriptor());
    const qint64 readMs = timer.elapsed();
    const qsizetype folders = index.folderCount();
    const qint64 time = libraryTime(index);
    m_catalogue.update(std::move(index), time);
    afterIndexChange(QStringLiteral("read %1 folders in %2 ms, indexed in %3 ms")
                         .arg(folders)
                         .arg(readMs)
                         .arg(timer.elapsed() - readMs));
}

void HttpService::onFoldersChanged()
{
    bool overflowed = false;
    const QSet<int> watches = m_watcher.takeChanged(&overflowed);
    for (const int watch : watches) {
        if (!m_catalogue.index().changesOfWatch(watch, &m_changes))
            m_unknownWatches.insert(watch);
    }
    // The system dropped events: every folder is read again.
    if (overflowed)
        m_changes.everything = true;
    readChanges();
}

void HttpService::readChanges()
{
    // Requests go on from the current index while the changed folders are read.
    if (m_reading || m_changes.isEmpty())
        return;
    m_reading = std::make_shared<LibraryIndex::Reading>(
        m_catalogue.index().prepare(std::exchange(m_changes, {}), m_watcher.descriptor()));
    m_readingTimer.start();
    m_readingDone.setFuture(QtConcurrent::run([reading = m_reading] { reading->run(); }));
}

void HttpService::onReadingFinished()
{
    const std::shared_ptr<LibraryIndex::Reading> reading = std::exchange(m_reading, nullptr);
    const qint64 readMs = m_readingTimer.elapsed();
    const int folders = reading->foldersRead();
    LibraryIndex& index = m_catalogue.index();
    for (const int watch : index.apply(std::move(*reading)))
        m_watcher.removeWatch(watch);
    // Changes on folders this reading added: read them again.
    for (const int watch : std::as_const(m_unknownWatches))
        index.changesOfWatch(watch, &m_changes);
    m_unknownWatches.clear();
    m_catalogue.refresh(libraryTime(index));
    afterIndexChange(QStringLiteral("read %1 folders again in %2 ms, indexed in %3 ms")
                         .arg(folders)
                         .arg(readMs)
                         .arg(m_readingTimer.elapsed() - readMs));
    readChanges();
}

void HttpService::afterIndexChange(const QString& how)
{
    const LibraryIndex& index = m_catalogue.index();
    // Each problem is logged once, not at every reading.
    const QStringList problems = index.problems();
    QSet<QString> current(problems.cbegin(), problems.cend());
    for (const QString& problem : problems) {
        if (!m_reportedProblems.contains(problem))
            serviceLog(QStringLiteral("library: skipped ") + problem);
    }
    m_reportedProblems = std::move(current);

    const QStringList unwatched = index.unwatchedFolders();
    if (!unwatched.isEmpty() && unwatched.size() != m_unwatchedReported)
        serviceLog(QStringLiteral("library: cannot watch %1 folders (first: %2); they are read again every %3 s")
                       .arg(unwatched.size())
                       .arg(unwatched.constFirst())
                       .arg(unwatchedPollMs / 1000));
    m_unwatchedReported = unwatched.size();
    if (unwatched.isEmpty())
        m_unwatchedPoll.stop();
    else if (!m_unwatchedPoll.isActive())
        m_unwatchedPoll.start();

    serviceLog(QStringLiteral("library: %1 categories, %2 pictures, timestamp %3 (%4)")
                   .arg(index.categories().size())
                   .arg(index.pictureCount())
                   .arg(m_catalogue.timestamp())
                   .arg(how));
}

namespace {

// A picture's validators as its file is now: name, size and time only, so
// that replicas over copies of one library agree.
void setPictureValidators(ServiceResponse& response, const QByteArray& kind, const FileStamp& stamp)
{
    response.etag =
        HttpCaching::entityTag(kind, response.picture->fileName.toUtf8() + '\n' + QByteArray::number(stamp.size) +
                                         '\n' + QByteArray::number(stamp.modifiedNs));
    response.lastModified = stamp.modifiedNs / 1'000'000'000;
    response.cacheControl = HttpCaching::immutableCacheControl();
}

QHostAddress forwardedAddress(const QByteArray& text)
{
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '.' && c != ':')
            return {};
    }
    return QHostAddress(QString::fromLatin1(text));
}

// Client bytes as a log line may show them: printable ASCII, the rest as \xNN, and short.
QString escaped(const QByteArray& text)
{
    QString shown = QStringLiteral("\"");
    for (const char c : text.left(64)) {
        if (c > 0x20 && c < 0x7f && c != '"' && c != '\\')
            shown += QLatin1Char(c);
        else
            shown += QStringLiteral("\\x%1").arg(quint8(c), 2, 16, QLatin1Char('0'));
    }
    return shown + (text.size() > 64 ? QStringLiteral("...\"") : QStringLiteral("\""));
}

// A picture that changed while it was read is a passing condition, not a fault: ask again shortly.
ServiceResponse thumbnailFailure(const ThumbnailCache::Result& thumbnail)
{
    ServiceResponse failed = RequestHandler::failure(thumbnail.transient ? 503 : 500,
                                                     QStringLiteral("Miniature impossible"), thumbnail.error);
    if (thumbnail.transient)
        failed.retryAfterSeconds = 1;
    return failed;
}

bool isNotModified(const HttpRequest& request, const ServiceResponse& response)
{
    return response.status == 200 && !response.etag.isEmpty() &&
           HttpCaching::notModified(request.ifNoneMatch, request.ifModifiedSince, response.etag, response.lastModified);
}

ServiceResponse notModified(ServiceResponse response)
{
    response.status = 304;
    response.body.clear();
    response.source = ServiceResponse::Source::Body;
    return response;
}

} // namespace

void HttpService::onRequest(HttpConnection* connection, const HttpRequest& request)
{
    ServiceResponse response = m_handler.handle(request.method, request.path, request.query);
    switch (response.source) {
    case ServiceResponse::Source::Body:
        answer(connection, request, isNotModified(request, response) ? notModified(response) : response);
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
        setPictureValidators(response, "g", stamp);
        if (isNotModified(request, response)) {
            answer(connection, request, notModified(response));
            return;
        }
        answer(connection, request, response, std::move(file), stamp.size);
        return;
    }
    case ServiceResponse::Source::Thumbnail: {
        // Derived from the picture: its validators follow the picture's file.
        const FileStamp stamp = SafeFile::stampOf(m_root, response.picture->relativePath);
        if (stamp.isValid()) {
            setPictureValidators(response, "m", stamp);
            if (isNotModified(request, response)) {
                answer(connection, request, notModified(response));
                return;
            }
        }
        m_thumbnails.thumbnail(*response.picture, connection,
                               [this, connection, request, response](const ThumbnailCache::Result& thumbnail) {
                                   if (!thumbnail.ok()) {
                                       answer(connection, request, thumbnailFailure(thumbnail));
                                       return;
                                   }
                                   ServiceResponse made = response;
                                   made.source = ServiceResponse::Source::Body;
                                   made.contentType = thumbnail.mimeType;
                                   made.body = thumbnail.data;
                                   made.note = thumbnail.note;
                                   answer(connection, request, made);
                               });
        return;
    }
    }
}

void HttpService::answer(HttpConnection* connection, const HttpRequest& request, const ServiceResponse& response,
                         std::unique_ptr<QFile> file, qint64 fileSize)
{
    const qint64 size = file ? fileSize : response.body.size();
    connection->respond(response, std::move(file), fileSize);

    QString client = request.peer;
    if (!m_trustedProxy.isNull() && !request.forwardedFor.isEmpty() &&
        QHostAddress(request.peer).isEqual(m_trustedProxy)) {
        // Only a bare address is taken: a scope or anything else after it
        // would reach the log as the client wrote it.
        const QHostAddress forwarded = forwardedAddress(request.forwardedFor);
        client =
            (forwarded.isNull() ? QStringLiteral("(unusable X-Forwarded-For %1)").arg(escaped(request.forwardedFor))
                                : forwarded.toString()) +
            QStringLiteral(" via ") + request.peer;
    }
    QString line = client + QLatin1Char(' ') + QString::fromLatin1(request.method) + QLatin1Char(' ') +
                   QString::fromLatin1(request.path);
    if (!request.query.isEmpty())
        line += QLatin1Char('?') + QString::fromLatin1(request.query);
    line += QStringLiteral(" %1 %2 B %3 ms")
                .arg(response.status)
                .arg(request.head || response.status == 304 ? 0 : size)
                .arg(double(request.received.nsecsElapsed()) / 1e6, 0, 'f', 2);
    if (!response.note.isEmpty())
        line += QStringLiteral(" (") + response.note + QLatin1Char(')');
    serviceLog(line);
}
