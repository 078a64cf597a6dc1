#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// HTTP caching for the service's answers. A picture's name is the identity
// of its content, so picture and thumbnail answers may be kept for a year by
// any cache; the lists change when the library does and are kept briefly.
// Validators depend only on what is published (never on the process or on
// inode numbers), so replicas over one library answer alike.
namespace HttpCaching {

// A desktop sees a new day's pictures at most this late through a cache.
constexpr int listMaxAgeSeconds = 300;

QByteArray immutableCacheControl();
QByteArray listCacheControl();
// For refusals and failures: may be stored, never reused unchecked.
QByteArray failureCacheControl();

// A strong entity tag, quoted, from the given parts.
QByteArray entityTag(const QByteArray& kind, const QByteArray& identity);

// "Sun, 06 Nov 1994 08:49:37 GMT" for seconds since the epoch, and back.
QByteArray httpDate(qint64 secondsSinceEpoch);
std::optional<qint64> parseHttpDate(const QByteArray& text);

// Whether a GET or HEAD carrying these conditions is answered with 304.
// If-None-Match, when present, decides alone; If-Modified-Since counts only
// when the answer has a Last-Modified (lastModified >= 0).
bool notModified(const QByteArray& ifNoneMatch, const QByteArray& ifModifiedSince, const QByteArray& etag,
                 qint64 lastModified);

} // namespace HttpCaching
