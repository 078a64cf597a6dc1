#include "request_handler.h"

#include "catalogue.h"
#include "http_caching.h"

#include <QHash>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

const QByteArray jsonType = QByteArrayLiteral("application/json");

ServiceResponse json(const QJsonObject& object, int status = 200)
{
    ServiceResponse response;
    response.status = status;
    response.contentType = jsonType;
    response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return response;
}

ServiceResponse refusal(const QString& error, int status = 200, const QString& note = {})
{
    ServiceResponse response = json(Catalogue::failure(error), status);
    response.note = note;
    return response;
}

// The lists are as new as the catalogue they come from.
ServiceResponse listing(ServiceResponse response, const QByteArray& version)
{
    response.etag = '"' + version + '"';
    response.cacheControl = HttpCaching::listCacheControl();
    return response;
}

ServiceResponse notFound(const QString& note = {})
{
    return refusal(QStringLiteral("Ressource introuvable"), 404, note);
}

// A request value as it may appear in an error text: printable and short.
QString quoted(const QString& value)
{
    QString shown;
    for (const QChar c : value) {
        if (shown.size() >= 64) {
            shown += QStringLiteral("…");
            break;
        }
        shown += c.isPrint() ? c : QChar(QChar::ReplacementCharacter);
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

QString decoded(const QByteArray& encoded)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(encoded));
}

} // namespace

RequestHandler::RequestHandler(const Catalogue& catalogue) : m_catalogue(catalogue) {}

ServiceResponse RequestHandler::failure(int status, const QString& error, const QString& note)
{
    return refusal(error, status, note);
}

ServiceResponse RequestHandler::handle(const QByteArray& method, const QByteArray& encodedPath,
                                       const QByteArray& encodedQuery)
{
    if (!encodedPath.startsWith(apiPrefix))
        return notFound();
    if (method != "GET" && method != "HEAD")
        return refusal(QStringLiteral("Méthode non prise en charge"), 405);
    const QByteArray rest = encodedPath.mid(qsizetype(sizeof(apiPrefix) - 1));
    if (rest == "categories") {
        ServiceResponse response;
        response.contentType = jsonType;
        response.body = m_catalogue.categoriesReply();
        return listing(response, m_catalogue.categoriesVersion());
    }
    if (rest == "wallpapers")
        return wallpapers(encodedQuery);

    const qsizetype slash = rest.indexOf('/');
    if (slash < 0)
        return notFound();
    return file(rest.left(slash), rest.mid(slash + 1));
}

ServiceResponse RequestHandler::wallpapers(const QByteArray& encodedQuery) const
{
    QHash<QString, QString> values;
    const QList<QByteArray> pairs = encodedQuery.split('&');
    for (const QByteArray& pair : pairs) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        const QString key = decoded(equals < 0 ? pair : pair.left(equals));
        if (key != QLatin1String("category") && key != QLatin1String("date"))
            continue;
        if (values.contains(key))
            return refusal(QStringLiteral("Paramètre répété: ") + key);
        values.insert(key, equals < 0 ? QString() : decoded(pair.mid(equals + 1)));
    }

    const QString category = values.value(QStringLiteral("category"));
    const QString dateText = values.value(QStringLiteral("date"));
    if (category.isEmpty())
        return refusal(QStringLiteral("Paramètre category manquant"));
    if (dateText.isEmpty())
        return refusal(QStringLiteral("Paramètre date manquant"));

    static const QRegularExpression pattern(QStringLiteral("^(\\d{2})/(\\d{2})/(\\d{4})$"));
    const QRegularExpressionMatch match = pattern.match(dateText);
    const QDate date = match.hasMatch()
                           ? QDate(match.captured(3).toInt(), match.captured(2).toInt(), match.captured(1).toInt())
                           : QDate();
    if (!date.isValid())
        return refusal(QStringLiteral("Date invalide: %1 (format attendu jj/mm/aaaa)").arg(quoted(dateText)));

    const std::optional<QJsonObject> reply = m_catalogue.wallpapersReply(category, date);
    if (!reply)
        return refusal(QStringLiteral("Catégorie inconnue: ") + quoted(category));
    return listing(json(*reply), m_catalogue.version());
}

ServiceResponse RequestHandler::file(const QByteArray& kind, const QByteArray& encodedName) const
{
    if ((kind != "get" && kind != "mini") || encodedName.contains('/'))
        return notFound();
    // Decoded "%2F", "%5C", "..", drive names and the like never pass this.
    const QString name = decoded(encodedName);
    if (!LibraryScanner::isPublishableFileName(name))
        return notFound();
    std::optional<LibraryPicture> picture = m_catalogue.picture(name);
    if (!picture)
        return notFound();

    ServiceResponse response;
    response.contentType = picture->mimeType;
    response.source = kind == "mini" ? ServiceResponse::Source::Thumbnail : ServiceResponse::Source::PictureFile;
    response.picture = std::move(picture);
    return response;
}
