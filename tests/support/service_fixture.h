#pragma once

#include "window_environment.h"

#include <QByteArray>
#include <QColor>
#include <QDate>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSize>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include <memory>

class QNetworkAccessManager;
class QProcess;
class QTemporaryDir;

// The real velmora-service, run as a separate process over TLS on 127.0.0.1
// with a free port and a certificate of the test CA, serving a library folder
// that the test fills. Stopped when the fixture goes.
class ServiceFixture
{
public:
    ServiceFixture();
    ~ServiceFixture();
    ServiceFixture(const ServiceFixture&) = delete;
    ServiceFixture& operator=(const ServiceFixture&) = delete;

    // The velmora-service program under test; "" when it was not built.
    static QString binaryPath();

    // Runs the service binary to its end, for command lines that must not start it.
    struct Run
    {
        int exitCode = -1;
        QString output;
    };
    static Run runToEnd(const QStringList& arguments);

    // Starts the service and waits until it listens. extraArguments go on
    // its command line (for example "--demo"). False with errorString() on failure.
    bool start(const QStringList& extraArguments = {});
    void stop();
    bool isRunning() const;
    // The service's process id, 0 when it is not running.
    qint64 processId() const;
    QString errorString() const { return m_errorString; }

    QString libraryPath() const;
    quint16 port() const { return m_port; }
    // "https://127.0.0.1:<port>"
    QString origin() const;
    // origin() + "/velmora/api"
    QString apiBase() const;
    // What a client must trust to talk to this service.
    QList<QSslCertificate> caCertificates() const;
    // For a ModernWindow talking to this service: origin, trusted CA, fake
    // platform services and the command line "velmora".
    WindowEnvironment windowEnvironment() const;
    // Everything the service has logged so far.
    QString log();

    // Library building. The running service notices changes by itself (see
    // waitForCatalogueChange); filling the library before start() avoids the wait.
    // Creates the category folder, with a category.json when a name or thumbnail is given.
    bool addCategory(const QString& id, const QString& name = {}, const QString& thumbnail = {});
    // Writes a real picture (format from the file name's extension) into
    // <category>/<yyyy-MM-dd>/; returns its path, or "" on failure.
    QString addImage(const QString& categoryId, const QDate& date, const QString& fileName,
                     const QColor& color = QColor(40, 120, 200), const QSize& size = QSize(64, 36));
    // A plain picture of one colour, encoded (format as QImage names it: "PNG", "JPEG", ...).
    static QByteArray encodedImage(const QSize& size, const QColor& color, const char* format = "PNG");
    // Any file below the library folder, parents created.
    bool writeFile(const QString& relativePath, const QByteArray& contents);

    struct Reply
    {
        int status = 0;
        QByteArray contentType;
        QByteArray body;
        // Every header of the answer, by lower-case name (filled by get()).
        QHash<QByteArray, QByteArray> headers;
        // Transport failure; HTTP error statuses are not errors here.
        QString error;
        QJsonObject json() const;
    };
    // GET apiBase() + pathAndQuery, the text parsed by QUrl in tolerant mode.
    Reply get(const QString& pathAndQuery);
    // The same with another method ("HEAD") and extra request headers.
    Reply request(const QByteArray& method, const QString& pathAndQuery,
                  const QList<std::pair<QByteArray, QByteArray>>& headers = {});
    // Sends the request target byte for byte, as no URL parser would.
    Reply rawGet(const QByteArray& target);

    // The "timestamp" of the category list, 0 when it cannot be read.
    qint64 catalogueTimestamp();
    // Runs the event loop until the time stamp differs from previous; returns
    // the new one, or previous after timeoutMs.
    qint64 waitForCatalogueChange(qint64 previous, int timeoutMs = 15000);

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QString m_errorString;
    QString m_log;
    quint16 m_port = 0;
};
