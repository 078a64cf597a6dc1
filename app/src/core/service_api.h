#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <QUrl>

class PlatformServices;
class QNetworkReply;
class QPixmap;

// What a reply carries, which decides its time-out and body cap.
enum class ServiceReplyKind { Json, Image };

struct ServiceRequestLimits
{
    // No byte for this long, from sending or since the last one, fails the request.
    int inactivityMs = 0;
    // Largest body accepted; a larger one fails the request.
    qint64 maxBodyBytes = 0;
    // However steadily the bytes come, the whole request ends within this
    // much plus the time its announced body (maxBodyBytes when none is
    // announced) takes at slowestBytesPerSecond: a large picture on a slow
    // link still arrives, a server trickling for ever does not keep a change.
    int capBaseMs = 120 * 1000;
    qint64 slowestBytesPerSecond = 4 * 1024;
};

// One element of the category list, with missing or non-string members read as "".
struct ServiceCategory
{
    QString id;
    QString name;
    QString thumbnail;
};

struct CategoryListReply
{
    bool success = false;
    QJsonArray data;
    qint64 timestamp = 0;
};

struct WallpaperListReply
{
    bool success = false;
    // "data"[i]."filename" in reply order, "" where missing.
    QStringList fileNames;
    QString nearestPreviousDate;
    // The service's "error" text, or what was wrong with the reply.
    QString error;
};

// The wallpaper service's protocol as the program speaks it: the four request
// URLs, the reply readers, and the trust and limits put on every request.
class ServiceApi
{
public:
    static constexpr int inactivityMs = 30 * 1000;
    static constexpr qint64 maxJsonBytes = 2 * 1024 * 1024;
    static constexpr qint64 maxImageBytes = 64 * 1024 * 1024;

    // origin + "/velmora/api"
    static QString apiBase(const QString& origin);
    // "dd/MM/yyyy" with every "/" sent as "%2F".
    static QString encodeDate(const QString& date);
    static QUrl categoriesUrl(const QString& origin);
    static QUrl wallpapersUrl(const QString& origin, const QString& categoryId, const QString& date);
    static QUrl imageUrl(const QString& origin, const QString& fileName);
    static QUrl thumbnailUrl(const QString& origin, const QString& fileName);

    // The top-level object of a JSON body; anything else reads as an empty object.
    static QJsonObject replyObject(const QByteArray& body);
    static CategoryListReply readCategoryList(const QByteArray& body);
    static ServiceCategory readCategory(const QJsonValue& value);
    // A refusal without an "error" text of its own gets one saying what was wrong.
    static WallpaperListReply readWallpaperList(const QByteArray& body);
    // Why a body is not a JSON object, or "" when it is one.
    static QString notJsonReason(const QByteArray& body);
    // Format detected from the content; false when the bytes are no image.
    static bool decodeImage(const QByteArray& body, QPixmap& pixmap);

    static ServiceRequestLimits defaultLimits(ServiceReplyKind kind);
    // Verifies the service against the system's trusted roots plus extraCa.
    // A TLS back-end that does not trust added roots (see
    // PlatformServices::tlsTrustsAddedRoots) gets the system's alone; extraCa
    // then vouches for the service through acceptOwnCaChain.
    static QSslConfiguration sslConfiguration(const QList<QSslCertificate>& extraCa, const PlatformServices& platform);
    // The system's trusted roots, each once and unexpired, read once (a slow
    // read of the whole store: callable from a worker thread).
    static QList<QSslCertificate> systemRoots();
    // The thumbnails ("" where unsafe) of the complete categories at the
    // start of a catalogue's body, as far as it has arrived, at most count of
    // them; those without an id are left out, as the tiles leave them out.
    // Our service sends its "data" array first; with another, whatever is
    // found here is checked against the whole catalogue once it is there.
    static QStringList catalogueHead(const QByteArray& body, int count);
    // The configuration for a request to url: configuration with the TLS
    // session kept by keepTlsSession when url is on origin's host and port,
    // without it anywhere else (a session is offered to no other server).
    static QSslConfiguration sslConfigurationFor(const QSslConfiguration& configuration, const QString& origin,
                                                 const QUrl& url);
    // Keeps in configuration the TLS session of a finished reply's connection
    // to origin's host and port, for the next connection there to resume: a
    // change that finds no connection open then costs a short handshake (no
    // certificate sent or checked again). Kept in memory only.
    static void keepTlsSession(QSslConfiguration& configuration, const QString& origin, const QNetworkReply* reply);
    // For a reply's sslErrors. Where the TLS back-end does not trust added
    // roots and its only complaint is an unknown issuer, has the system verify
    // the chain the service presented against ownCa for the reply's host, and
    // lets the reply go past exactly these errors when it passes. Any other
    // error (host name, validity, revocation...) still refuses the service.
    // Returns whether the reply goes on.
    static bool acceptOwnCaChain(QNetworkReply* reply, const QList<QSslError>& errors,
                                 const QList<QSslCertificate>& ownCa, const PlatformServices& platform);

    // Arms the time limits and the body cap on a reply that was just sent, before
    // the caller connects its own finished handler. A breach aborts the reply
    // (or, when it had already arrived whole, marks it failed).
    static void applyLimits(QNetworkReply* reply, const ServiceRequestLimits& limits);
    // Keeps the certificate errors of a reply so that its failure can name them.
    static void recordSslErrors(QNetworkReply* reply, const QList<QSslError>& errors);
    // Whether a finished reply succeeded: no network error and not cut short
    // by the limits. Handlers decide success with this.
    static bool succeeded(const QNetworkReply* reply);
    // The failure text of a finished reply: why it was cut short, the
    // certificate errors that refused the service, or the reply's own error string.
    static QString errorString(const QNetworkReply* reply);
};
