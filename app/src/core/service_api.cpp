#include "service_api.h"

#include "core/service_file_name.h"
#include "platform/platform_services.h"

#include <QDateTime>
#include <QDebug>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QPixmap>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace {

// Why a reply was cut short or what its certificate errors were, kept on the reply itself.
constexpr char failureProperty[] = "velmoraFailure";
constexpr char sslErrorsProperty[] = "velmoraSslErrors";

void cutShort(QNetworkReply* reply, const QString& reason)
{
    if (!reply->property(failureProperty).isNull())
        return;
    reply->setProperty(failureProperty, reason);
    qDebug() << "[API] Requête interrompue:" << reply->url().toString() << "-" << reason;
    // Does nothing to a reply that has already finished; succeeded() still says no.
    reply->abort();
}

qint64 readInt64(const QJsonValue& value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        // Beyond ±2^63 the cast would be undefined.
        return value.toInteger(number > -9.2e18 && number < 9.2e18 ? qint64(number) : 0);
    }
    if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        return ok ? number : 0;
    }
    return 0;
}

} // namespace

QString ServiceApi::apiBase(const QString& origin)
{
    return origin + QStringLiteral("/velmora/api");
}

QString ServiceApi::encodeDate(const QString& date)
{
    QString encoded = date;
    return encoded.replace(QLatin1Char('/'), QStringLiteral("%2F"));
}

QUrl ServiceApi::categoriesUrl(const QString& origin)
{
    return QUrl(apiBase(origin) + QStringLiteral("/categories"), QUrl::TolerantMode);
}

QUrl ServiceApi::wallpapersUrl(const QString& origin, const QString& categoryId, const QString& date)
{
    const QString form = apiBase(origin) + QStringLiteral("/wallpapers?category=%1&date=%2");
    return QUrl(form.arg(categoryId).arg(encodeDate(date)), QUrl::TolerantMode);
}

QUrl ServiceApi::imageUrl(const QString& origin, const QString& fileName)
{
    const QString form = apiBase(origin) + QStringLiteral("/get/%1");
    return QUrl(form.arg(fileName), QUrl::TolerantMode);
}

QUrl ServiceApi::thumbnailUrl(const QString& origin, const QString& fileName)
{
    const QString form = apiBase(origin) + QStringLiteral("/mini/%1");
    return QUrl(form.arg(fileName), QUrl::TolerantMode);
}

QJsonObject ServiceApi::replyObject(const QByteArray& body)
{
    return QJsonDocument::fromJson(body).object();
}

CategoryListReply ServiceApi::readCategoryList(const QByteArray& body)
{
    const QJsonObject object = replyObject(body);
    CategoryListReply reply;
    reply.success = object.value(QLatin1String("success")).toBool(false);
    reply.data = object.value(QLatin1String("data")).toArray();
    reply.timestamp = readInt64(object.value(QLatin1String("timestamp")));
    return reply;
}

ServiceCategory ServiceApi::readCategory(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    return {object.value(QLatin1String("id")).toString(), object.value(QLatin1String("name")).toString(),
            object.value(QLatin1String("thumbnail")).toString()};
}

QString ServiceApi::notJsonReason(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("la réponse du service n'est pas du JSON (%1 à l'octet %2)")
            .arg(error.errorString())
            .arg(error.offset);
    if (!document.isObject())
        return QStringLiteral("la réponse du service n'est pas un objet JSON");
    return {};
}

WallpaperListReply ServiceApi::readWallpaperList(const QByteArray& body)
{
    const QJsonObject object = replyObject(body);
    WallpaperListReply reply;
    reply.success = object.value(QLatin1String("success")).toBool(false);
    const QJsonArray data = object.value(QLatin1String("data")).toArray();
    for (const QJsonValue& element : data)
        reply.fileNames << element.toObject().value(QLatin1String("filename")).toString();
    reply.nearestPreviousDate = object.value(QLatin1String("nearest_previous_date")).toString();
    reply.error = object.value(QLatin1String("error")).toString();
    if (!reply.success && reply.error.isEmpty()) {
        reply.error = notJsonReason(body);
        if (reply.error.isEmpty())
            reply.error = QStringLiteral("le service a répondu sans \"success\" ni texte d'erreur");
    }
    return reply;
}

bool ServiceApi::decodeImage(const QByteArray& body, QPixmap& pixmap)
{
    return pixmap.loadFromData(body);
}

ServiceRequestLimits ServiceApi::defaultLimits(ServiceReplyKind kind)
{
    if (kind == ServiceReplyKind::Image)
        return {inactivityMs, maxImageBytes};
    return {inactivityMs, maxJsonBytes, 60 * 1000};
}

namespace {

// Each new connection to the service copies every root into a store of its
// own, at a cost that grows faster than their number; the system's list
// names each root twice (its bundle and its own file) and keeps expired
// ones, which verification skips anyway.
QList<QSslCertificate> distinctUnexpired(const QList<QSslCertificate>& roots)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QSslCertificate> kept;
    QSet<QSslCertificate> seen;
    for (const QSslCertificate& root : roots) {
        if (root.expiryDate() >= now && !seen.contains(root)) {
            seen.insert(root);
            kept.append(root);
        }
    }
    return kept;
}

} // namespace

QStringList ServiceApi::catalogueHead(const QByteArray& body, int count)
{
    QStringList thumbnails;
    qsizetype at = body.indexOf("\"data\"");
    if (at < 0)
        return thumbnails;
    const auto skipSpace = [&body](qsizetype from) {
        while (from < body.size() && QChar::isSpace(uchar(body.at(from))))
            ++from;
        return from;
    };
    at = skipSpace(at + 6);
    if (at >= body.size() || body.at(at) != ':')
        return thumbnails;
    at = skipSpace(at + 1);
    if (at >= body.size() || body.at(at) != '[')
        return thumbnails;
    ++at;
    while (thumbnails.size() < count) {
        at = skipSpace(at);
        if (at >= body.size() || body.at(at) == ']')
            break;
        // One element, up to the comma or bracket that ends it outside any string.
        const qsizetype start = at;
        int depth = 0;
        bool inString = false;
        for (; at < body.size(); ++at) {
            const char c = body.at(at);
            if (inString) {
                if (c == '\\')
                    ++at;
                else if (c == '"')
                    inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                if (depth == 0)
                    break;
                --depth;
            } else if (c == ',' && depth == 0) {
                break;
            }
        }
        if (at >= body.size())
            break;
        const QJsonArray element = QJsonDocument::fromJson(QByteArray('[' + body.mid(start, at - start) + ']')).array();
        if (element.isEmpty())
            break;
        const ServiceCategory category = ServiceApi::readCategory(element.first());
        if (!category.id.isEmpty())
            thumbnails.append(isSafeServiceFileName(category.thumbnail) ? category.thumbnail : QString());
        if (body.at(at) == ',')
            ++at;
    }
    return thumbnails;
}

QList<QSslCertificate> ServiceApi::systemRoots()
{
    static const QList<QSslCertificate> roots = distinctUnexpired(QSslConfiguration::systemCaCertificates());
    return roots;
}

QSslConfiguration ServiceApi::sslConfiguration(const QList<QSslCertificate>& extraCa, const PlatformServices& platform)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    // The default trusts the system's roots, which the TLS back-end looks up
    // one by one as handshakes need them; reading the whole store into memory
    // is only needed to add roots of our own. Read once: the store does not
    // change while the program runs.
    if (!extraCa.isEmpty() && platform.tlsTrustsAddedRoots()) {
        configuration.setCaCertificates(systemRoots() + extraCa);
    }
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Sessions are handed on through keepTlsSession, to the service alone.
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    return configuration;
}

namespace {

bool sameServer(const QUrl& url, const QString& origin)
{
    const QUrl server(origin);
    return url.scheme() == QLatin1String("https") && server.scheme() == url.scheme() &&
           url.host().compare(server.host(), Qt::CaseInsensitive) == 0 && url.port(443) == server.port(443);
}

} // namespace

QSslConfiguration ServiceApi::sslConfigurationFor(const QSslConfiguration& configuration, const QString& origin,
                                                  const QUrl& url)
{
    if (configuration.sessionTicket().isEmpty() || sameServer(url, origin))
        return configuration;
    QSslConfiguration withoutSession = configuration;
    withoutSession.setSessionTicket({});
    return withoutSession;
}

void ServiceApi::keepTlsSession(QSslConfiguration& configuration, const QString& origin, const QNetworkReply* reply)
{
    // The reply's own address, after any redirection: a session is kept only
    // for the server that made it.
    if (!sameServer(reply->url(), origin))
        return;
    const QByteArray session = reply->sslConfiguration().sessionTicket();
    if (!session.isEmpty())
        configuration.setSessionTicket(session);
}

bool ServiceApi::acceptOwnCaChain(QNetworkReply* reply, const QList<QSslError>& errors,
                                  const QList<QSslCertificate>& ownCa, const PlatformServices& platform)
{
    if (platform.tlsTrustsAddedRoots() || ownCa.isEmpty() || errors.isEmpty())
        return false;
    // What a back-end keeping to the system's stores says of a chain that
    // leads to a root it does not hold (with no issuer, the leaf's signature
    // cannot be checked either).
    const bool onlyUnknownIssuer = std::all_of(errors.cbegin(), errors.cend(), [](const QSslError& error) {
        switch (error.error()) {
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToVerifyFirstCertificate:
            return true;
        default:
            return false;
        }
    });
    if (!onlyUnknownIssuer)
        return false;
    const QList<QSslCertificate> chain = reply->sslConfiguration().peerCertificateChain();
    const QString host = reply->url().host();
    if (chain.isEmpty() || !platform.verifyServerChain(chain, ownCa, host))
        return false;
    qDebug() << "[API] Certificat du service vérifié par le système avec l'AC de Velmora:" << host;
    reply->ignoreSslErrors(errors);
    return true;
}

void ServiceApi::applyLimits(QNetworkReply* reply, const ServiceRequestLimits& limits)
{
    // Silence fails a request, slowness alone does not: the inactivity limit
    // starts again with every byte, and the overall cap grows with the body
    // the service announces.
    auto* silence = new QTimer(reply);
    silence->setSingleShot(true);
    QObject::connect(silence, &QTimer::timeout, reply, [reply, limits] {
        cutShort(reply,
                 QStringLiteral("le service n'a pas répondu pendant %1 s").arg(double(limits.inactivityMs) / 1000));
    });
    auto* cap = new QTimer(reply);
    cap->setSingleShot(true);
    QObject::connect(cap, &QTimer::timeout, reply, [reply, cap] {
        cutShort(reply, QStringLiteral("réponse du service trop lente: pas reçue en entier en %1 s")
                            .arg(double(cap->property("totalMs").toLongLong()) / 1000));
    });
    QElapsedTimer sent;
    sent.start();
    const auto armCap = [cap, sent, limits](qint64 bodyBytes) {
        const qint64 rate = qMax<qint64>(1, limits.slowestBytesPerSecond);
        const qint64 totalMs = qMin<qint64>(limits.capBaseMs + bodyBytes * 1000 / rate, INT_MAX);
        cap->setProperty("totalMs", totalMs);
        cap->start(int(qMax<qint64>(0, totalMs - sent.elapsed())));
    };
    QObject::connect(reply, &QNetworkReply::finished, silence, &QTimer::stop);
    QObject::connect(reply, &QNetworkReply::finished, cap, &QTimer::stop);
    QObject::connect(reply, &QNetworkReply::downloadProgress, silence, [silence] { silence->start(); });
    silence->start(limits.inactivityMs);
    armCap(0);

    const QString tooLarge =
        QStringLiteral("réponse du service trop volumineuse (plus de %1 octets)").arg(limits.maxBodyBytes);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, limits, tooLarge, silence, armCap] {
        silence->start();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        const qint64 announced = length.isValid() ? length.toLongLong() : limits.maxBodyBytes;
        if (announced > limits.maxBodyBytes)
            cutShort(reply, tooLarge);
        else
            armCap(announced);
    });
    // A body that arrives whole in one read finishes before any progress
    // could abort it; it is still refused, here, before the caller's handler runs.
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, limits, tooLarge] {
        if (reply->error() == QNetworkReply::NoError && reply->bytesAvailable() > limits.maxBodyBytes)
            cutShort(reply, tooLarge);
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, limits, tooLarge](qint64 received, qint64) {
                         if (received > limits.maxBodyBytes)
                             cutShort(reply, tooLarge);
                     });
}

void ServiceApi::recordSslErrors(QNetworkReply* reply, const QList<QSslError>& errors)
{
    QStringList texts;
    for (const QSslError& error : errors)
        texts << error.errorString();
    reply->setProperty(sslErrorsProperty, texts.join(QStringLiteral("; ")));
}

bool ServiceApi::succeeded(const QNetworkReply* reply)
{
    return reply->error() == QNetworkReply::NoError && reply->property(failureProperty).isNull();
}

QString ServiceApi::errorString(const QNetworkReply* reply)
{
    const QString reason = reply->property(failureProperty).toString();
    if (!reason.isEmpty())
        return reason;
    const QString sslErrors = reply->property(sslErrorsProperty).toString();
    if (!sslErrors.isEmpty() && reply->error() == QNetworkReply::SslHandshakeFailedError)
        return QStringLiteral("certificat TLS du service refusé: ") + sslErrors;
    return reply->errorString();
}
