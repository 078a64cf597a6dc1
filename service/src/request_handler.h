#pragma once

#include "library.h"

#include <QByteArray>
#include <QString>

#include <optional>

class Catalogue;

struct ServiceResponse
{
    enum class Source {
        // body is the answer.
        Body,
        // The picture's file is the answer, read from disk as it is sent.
        PictureFile,
        // The picture's thumbnail is the answer, made or found by the thumbnail cache.
        Thumbnail,
    };

    int status = 200;
    QByteArray contentType;
    QByteArray body;
    // Something the operator should know beyond the status, for the log line.
    QString note;
    Source source = Source::Body;
    std::optional<LibraryPicture> picture;
    // Caching: empty or negative when the answer has none.
    QByteArray etag;
    qint64 lastModified = -1;
    QByteArray cacheControl;
    // Seconds after which to ask again (503), or negative.
    int retryAfterSeconds = -1;
};

// Maps one request to its answer. The path and query arrive as sent, still
// percent-encoded; names are decoded here and looked up in the catalogue, so
// no request ever builds a path on disk. HEAD is answered as GET (the
// connection leaves the body out).
class RequestHandler
{
public:
    static constexpr char apiPrefix[] = "/velmora/api/";

    explicit RequestHandler(const Catalogue& catalogue);

    ServiceResponse handle(const QByteArray& method, const QByteArray& encodedPath, const QByteArray& encodedQuery);

    // A JSON failure answer, as every refusal of the service looks.
    static ServiceResponse failure(int status, const QString& error, const QString& note = {});

private:
    ServiceResponse wallpapers(const QByteArray& encodedQuery) const;
    ServiceResponse file(const QByteArray& kind, const QByteArray& encodedName) const;

    const Catalogue& m_catalogue;
};
