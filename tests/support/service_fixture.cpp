#include "service_fixture.h"

#include "test_pki.h"
#include "test_window.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>

#ifndef VELMORA_SERVICE_BINARY
#define VELMORA_SERVICE_BINARY ""
#endif

namespace {

constexpr int startTimeoutMs = 60000;
constexpr int requestTimeoutMs = 15000;

QSslConfiguration clientConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(TestPki::shared().caCertificates());
    return configuration;
}

} // namespace

ServiceFixture::ServiceFixture() : m_folder(std::make_unique<QTemporaryDir>())
{
    QDir(m_folder->path()).mkpath(QStringLiteral("library"));
}

ServiceFixture::~ServiceFixture()
{
    stop();
}

QString ServiceFixture::binaryPath()
{
    return QString::fromUtf8(VELMORA_SERVICE_BINARY);
}

bool ServiceFixture::start(const QStringList& extraArguments)
{
    stop();
    m_errorString.clear();
    const QString program = binaryPath();
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        m_errorString = QStringLiteral("velmora-service is not built (%1)").arg(program);
        return false;
    }
    TestPki& pki = TestPki::shared();
    const TestCertificate certificate = pki.serverCertificate();
    if (!certificate.isValid()) {
        m_errorString = pki.errorString();
        return false;
    }

    m_process = std::make_unique<QProcess>();
    m_process->start(program, QStringList{QStringLiteral("--library"), libraryPath(), QStringLiteral("--address"),
                                          QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QStringLiteral("0"),
                                          QStringLiteral("--cert"), certificate.certificatePath,
                                          QStringLiteral("--key"), certificate.keyPath} +
                                  extraArguments);
    static const QRegularExpression listening(QStringLiteral("listening on https://127\\.0\\.0\\.1:(\\d+)"));
    QByteArray output;
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!deadline.hasExpired()) {
        output += m_process->readAllStandardOutput();
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_port = quint16(match.captured(1).toUInt());
            return true;
        }
        if (m_process->state() == QProcess::NotRunning)
            break;
        m_process->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    m_errorString = QStringLiteral("velmora-service did not start: %1 %2").arg(QString::fromUtf8(output), log());
    stop();
    return false;
}

void ServiceFixture::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(10000)) {
            m_process->kill();
            m_process->waitForFinished(10000);
        }
    }
    m_log += QString::fromUtf8(m_process->readAllStandardError());
    m_process.reset();
    m_network.reset();
    m_port = 0;
}

bool ServiceFixture::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

qint64 ServiceFixture::processId() const
{
    return m_process ? m_process->processId() : 0;
}

QString ServiceFixture::libraryPath() const
{
    return m_folder->path() + QStringLiteral("/library");
}

QString ServiceFixture::origin() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(m_port);
}

QString ServiceFixture::apiBase() const
{
    return origin() + QStringLiteral("/velmora/api");
}

QList<QSslCertificate> ServiceFixture::caCertificates() const
{
    return TestPki::shared().caCertificates();
}

WindowEnvironment ServiceFixture::windowEnvironment() const
{
    return testWindowEnvironment(origin(), caCertificates());
}

QString ServiceFixture::log()
{
    if (m_process)
        m_log += QString::fromUtf8(m_process->readAllStandardError());
    return m_log;
}

bool ServiceFixture::addCategory(const QString& id, const QString& name, const QString& thumbnail)
{
    if (!QDir(libraryPath()).mkpath(id))
        return false;
    if (name.isEmpty() && thumbnail.isEmpty())
        return true;
    QJsonObject meta;
    if (!name.isEmpty())
        meta.insert(QStringLiteral("name"), name);
    if (!thumbnail.isEmpty())
        meta.insert(QStringLiteral("thumbnail"), thumbnail);
    return writeFile(id + QStringLiteral("/category.json"), QJsonDocument(meta).toJson());
}

QString ServiceFixture::addImage(const QString& categoryId, const QDate& date, const QString& fileName,
                                 const QColor& color, const QSize& size)
{
    QByteArray format = QFileInfo(fileName).suffix().toUpper().toLatin1();
    if (format == "JPG")
        format = "JPEG";
    const QByteArray bytes = encodedImage(size, color, format.constData());
    const QString relative =
        categoryId + QLatin1Char('/') + date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('/') + fileName;
    if (bytes.isEmpty() || !writeFile(relative, bytes))
        return {};
    return libraryPath() + QLatin1Char('/') + relative;
}

QByteArray ServiceFixture::encodedImage(const QSize& size, const QColor& color, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, format) ? bytes : QByteArray();
}

bool ServiceFixture::writeFile(const QString& relativePath, const QByteArray& contents)
{
    const QString path = libraryPath() + QLatin1Char('/') + relativePath;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QJsonObject ServiceFixture::Reply::json() const
{
    return QJsonDocument::fromJson(body).object();
}

ServiceFixture::Reply ServiceFixture::get(const QString& pathAndQuery)
{
    return request("GET", pathAndQuery);
}

ServiceFixture::Reply ServiceFixture::request(const QByteArray& method, const QString& pathAndQuery,
                                              const QList<std::pair<QByteArray, QByteArray>>& headers)
{
    if (!m_network)
        m_network = std::make_unique<QNetworkAccessManager>();
    QNetworkRequest request(QUrl(apiBase() + pathAndQuery, QUrl::TolerantMode));
    request.setSslConfiguration(clientConfiguration());
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply* reply = m_network->sendCustomRequest(request, method);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(requestTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();

    Reply result;
    if (!reply->isFinished()) {
        result.error = QStringLiteral("no answer within %1 ms").arg(requestTimeoutMs);
        reply->abort();
    } else {
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        result.body = reply->readAll();
        for (const auto& [name, value] : reply->rawHeaderPairs())
            result.headers.insert(name.toLower(), value);
        if (result.status == 0)
            result.error = reply->errorString();
    }
    reply->deleteLater();
    return result;
}

ServiceFixture::Reply ServiceFixture::rawGet(const QByteArray& target)
{
    Reply result;
    QSslSocket socket;
    socket.setSslConfiguration(clientConfiguration());
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_port);
    if (!socket.waitForEncrypted(requestTimeoutMs)) {
        result.error = socket.errorString();
        return result;
    }
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray response;
    const QDeadlineTimer deadline(requestTimeoutMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        response += socket.readAll();
    }
    response += socket.readAll();

    const qsizetype headerEnd = response.indexOf("\r\n\r\n");
    if (!response.startsWith("HTTP/1.") || headerEnd < 0) {
        result.error = QStringLiteral("no HTTP response: ") + QString::fromLatin1(response.left(200));
        return result;
    }
    const QList<QByteArray> lines = response.left(headerEnd).split('\n');
    result.status = lines.constFirst().split(' ').value(1).toInt();
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith("content-type:"))
            result.contentType = line.mid(13).trimmed();
    }
    result.body = response.mid(headerEnd + 4);
    return result;
}

qint64 ServiceFixture::catalogueTimestamp()
{
    const Reply reply = get(QStringLiteral("/categories"));
    return qint64(reply.json().value(QLatin1String("timestamp")).toDouble());
}

qint64 ServiceFixture::waitForCatalogueChange(qint64 previous, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const qint64 now = catalogueTimestamp();
        if (now != 0 && now != previous)
            return now;
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return previous;
}

ServiceFixture::Run ServiceFixture::runToEnd(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(binaryPath(), arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAll());
    return run;
}
