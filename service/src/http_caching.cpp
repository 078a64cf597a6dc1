#include "http_caching.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QLocale>

namespace {
const QString dateFormat = QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'");

// W/"x" and "x" are the same tag for If-None-Match (weak comparison).
QByteArray opaque(QByteArray tag)
{
    tag = tag.trimmed();
    if (tag.startsWith("W/"))
        tag.remove(0, 2);
    return tag;
}
} // namespace

namespace HttpCaching {

QByteArray immutableCacheControl()
{
    return QByteArrayLiteral("public, max-age=31536000, immutable");
}

QByteArray listCacheControl()
{
    return QByteArrayLiteral("public, max-age=") + QByteArray::number(listMaxAgeSeconds);
}

QByteArray failureCacheControl()
{
    return QByteArrayLiteral("no-cache");
}

QByteArray entityTag(const QByteArray& kind, const QByteArray& identity)
{
    const QByteArray digest = QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(32);
    return '"' + kind + '-' + digest + '"';
}

QByteArray httpDate(qint64 secondsSinceEpoch)
{
    return QLocale::c().toString(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC), dateFormat).toLatin1();
}

std::optional<qint64> parseHttpDate(const QByteArray& text)
{
    QDateTime time = QLocale::c().toDateTime(QString::fromLatin1(text.trimmed()), dateFormat);
    if (!time.isValid())
        return std::nullopt;
    time.setTimeSpec(Qt::UTC);
    return time.toSecsSinceEpoch();
}

bool notModified(const QByteArray& ifNoneMatch, const QByteArray& ifModifiedSince, const QByteArray& etag,
                 qint64 lastModified)
{
    if (!ifNoneMatch.isEmpty()) {
        if (etag.isEmpty())
            return false;
        if (ifNoneMatch.trimmed() == "*")
            return true;
        const QList<QByteArray> tags = ifNoneMatch.split(',');
        for (const QByteArray& tag : tags) {
            if (opaque(tag) == etag)
                return true;
        }
        return false;
    }
    if (ifModifiedSince.isEmpty() || lastModified < 0)
        return false;
    // An unreadable date is ignored, as if it were not sent.
    const std::optional<qint64> since = parseHttpDate(ifModifiedSince);
    return since && lastModified <= *since;
}

} // namespace HttpCaching
