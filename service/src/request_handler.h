#pragma once

#include <QByteArray>
#include <QString>

class Catalogue;
class ThumbnailCache;

struct ServiceResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    // Something the operator should know beyond the status, for the log line.
    QString note;
};

// Maps one request to its answer. The path and query arrive as sent, still
// percent-encoded; names are decoded here and looked up in the catalogue, so
// no request ever builds a path on disk.
class RequestHandler
{
public:
    static constexpr char apiPrefix[] = "/velmora/api/";

    RequestHandler(const Catalogue& catalogue, ThumbnailCache& thumbnails);

    ServiceResponse handle(const QByteArray& method, const QByteArray& encodedPath, const QByteArray& encodedQuery);

private:
    ServiceResponse wallpapers(const QByteArray& encodedQuery) const;
    ServiceResponse file(const QByteArray& kind, const QByteArray& encodedName);

    const Catalogue& m_catalogue;
    ThumbnailCache& m_thumbnails;
};
