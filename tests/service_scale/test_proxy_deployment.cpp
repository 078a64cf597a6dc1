#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_screens.h"
#include "test_window.h"
#include "workflow_access.h"

#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTimer>

#include <csignal>

namespace {

using Access = ModernWindowTestAccess;

// deploy/nginx/run-local: two replicas over one library behind nginx.
struct Deployment
{
    bool start(const QString& library)
    {
        const TestCertificate certificate = TestPki::shared().serverCertificate();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(VELMORA_RUN_LOCAL),
                      {"--service", ServiceFixture::binaryPath(), "--library", library, "--cert",
                       certificate.certificatePath, "--key", certificate.keyPath, "--replicas", "2"});
        static const QRegularExpression replica(QStringLiteral("^replica \\d+ pid (\\d+) port (\\d+)$"));
        static const QRegularExpression proxy(QStringLiteral("^proxy on (https://127\\.0\\.0\\.1:\\d+) \\((.*)\\)$"));
        for (int lines = 0; lines < 10 && origin.isEmpty(); ++lines) {
            if (!process.canReadLine() && !process.waitForReadyRead(60000))
                return false;
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            if (const auto match = replica.match(line); match.hasMatch()) {
                replicas << match.captured(1).toLongLong();
                ports << quint16(match.captured(2).toUInt());
            }
            if (const auto match = proxy.match(line); match.hasMatch()) {
                origin = match.captured(1);
                folder = match.captured(2);
            }
        }
        return !origin.isEmpty() && replicas.size() == 2;
    }
    ~Deployment()
    {
        process.terminate();
        if (!process.waitForFinished(30000))
            process.kill();
    }
    QProcess process;
    QString origin;
    QString folder;
    QList<qint64> replicas;
    QList<quint16> ports;
};

// A replica asked directly, in plain HTTP as nginx asks it: the whole answer.
QByteArray askReplica(quint16 port, const QByteArray& path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    for (int i = 0; i < 100 && socket.state() == QAbstractSocket::ConnectedState; ++i) {
        socket.waitForReadyRead(1000);
        answer += socket.readAll();
    }
    answer += socket.readAll();
    // The Date header is the only line allowed to differ.
    static const QRegularExpression date(QStringLiteral("Date: [^\r]*\r\n"));
    return QString::fromLatin1(answer).remove(date).toLatin1();
}

struct Answer
{
    int status = 0;
    QByteArray cache;
};

Answer fetch(const QString& url)
{
    static QNetworkAccessManager network;
    QNetworkRequest request{QUrl(url)};
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(TestPki::shared().caCertificates());
    request.setSslConfiguration(tls);
    QNetworkReply* reply = network.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    Answer answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                  reply->rawHeader("X-Cache-Status")};
    reply->abort();
    reply->deleteLater();
    return answer;
}

bool changeSucceeds(ModernWindow& window)
{
    QTest::mouseClick(Access::changeNowButton(window), Qt::LeftButton);
    return QTest::qWaitFor([&] { return !Access::changeInFlight(window); }, 60000) &&
           Access::statusLabel(window)->text() == QStringLiteral("Succès !") && Access::errorBanner(window)->isHidden();
}

} // namespace

// The program changing wallpapers through the nginx deployment, the way many
// desktops would reach the service, and what happens when a replica dies.
class TestProxyDeployment : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}, {QStringLiteral("B"), 1920, 0, 1920, 1080}});
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
    }

    void changesGoThroughNginxAndSurviveALostReplica()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("nginx")).isEmpty(), "scripts/setup installs nginx");
        // Only builds the library; the replicas serve it.
        ServiceFixture library;
        QVERIFY(library.addCategory(QStringLiteral("nature"), QStringLiteral("Nature"), QStringLiteral("n0.png")));
        for (int i = 0; i < 6; ++i)
            QVERIFY(!library.addImage("nature", QDate::currentDate(), QStringLiteral("n%1.png").arg(i)).isEmpty());
        Deployment deployment;
        QVERIFY(deployment.start(library.libraryPath()));
        const QString api = deployment.origin + QStringLiteral("/velmora/api");
        // Replicas started apart give the same answers, validators included.
        for (const QByteArray path : {"/velmora/api/categories", "/velmora/api/get/n1.png"}) {
            const QByteArray first = askReplica(deployment.ports.at(0), path);
            QVERIFY2(first.startsWith("HTTP/1.1 200 OK\r\n"), first.constData());
            QCOMPARE(askReplica(deployment.ports.at(1), path), first);
        }

        auto window = std::make_unique<ModernWindow>(
            testWindowEnvironment(deployment.origin, TestPki::shared().caCertificates()));
        window->setCategoryRating(QStringLiteral("nature"), 2);
        QVERIFY(changeSucceeds(*window));
        QCOMPARE(Access::platform(*window).spannedWallpapers.size(), 1);
        // What the program fetched is now answered by nginx alone.
        QCOMPARE(fetch(api + QStringLiteral("/categories")).cache, QByteArray("HIT"));

        // One replica dies while a change is under way.
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QCOMPARE(::kill(pid_t(deployment.replicas.constFirst()), SIGKILL), 0);
        QVERIFY(QTest::qWaitFor([&] { return !Access::changeInFlight(*window); }, 60000));
        QCOMPARE(Access::statusLabel(*window)->text(), QStringLiteral("Succès !"));
        QVERIFY(changeSucceeds(*window));
        QCOMPARE(Access::platform(*window).spannedWallpapers.size(), 3);

        // Requests nginx has not cached reach the replicas in turn: each one
        // meant for the dead replica goes to the live one.
        for (int i = 0; i < 8; ++i) {
            const Answer answer = fetch(api + QStringLiteral("/get/n%1.png?uncached=%2").arg(i % 6).arg(i));
            QCOMPARE(answer.status, 200);
            QCOMPARE(answer.cache, QByteArray("MISS"));
        }
        QFile access(deployment.folder + QStringLiteral("/access.log"));
        QVERIFY(access.open(QIODevice::ReadOnly));
        const QByteArray log = access.readAll();
        QVERIFY2(!log.contains("\" 5"), log.constData());
        // The dead replica was tried, and the request went on to the other.
        QVERIFY2(log.contains("/502, 200"), log.constData());
    }
};

VELMORA_TEST_MAIN(TestProxyDeployment)
#include "test_proxy_deployment.moc"
