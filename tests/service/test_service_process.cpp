#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"

#include <QDir>
#include <QImageReader>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {

const QDate mar5(2026, 3, 5);

using Run = ServiceFixture::Run;

int requestLines(const QString& log)
{
    static const QRegularExpression line(QStringLiteral("^\\S+ 127\\.0\\.0\\.1 GET /"),
                                         QRegularExpression::MultilineOption);
    return int(log.count(line));
}

} // namespace

// The velmora-service program itself: its command line, TLS, its log, and
// how it follows changes to the library.
class TestServiceProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpDocumentsEveryOption()
    {
        const Run run = ServiceFixture::runToEnd({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        for (const char* option :
             {"--library <DIR>", "--demo", "--address <ADDR>", "--port <N>", "--cert <FILE>", "--key <FILE>",
              "127.0.0.1", "8443", "--max-connections <N>", "--handshake-timeout <SECONDS>", "--idle-timeout <SECONDS>",
              "--max-header-size <BYTES>", "--send-buffer <BYTES>", "--max-picture-pixels <N>",
              "--thumbnail-workers <N>"})
            QVERIFY2(run.output.contains(QLatin1String(option)), option);
    }

    void badCommandLinesFailClearly_data()
    {
        const TestCertificate certificate = TestPki::shared().serverCertificate();
        const QString library = TestEnvironment::root();
        const QStringList tls = {"--cert", certificate.certificatePath, "--key", certificate.keyPath};
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no library") << tls << "--library";
        QTest::newRow("no certificate") << QStringList{"--library", library, "--key", certificate.keyPath} << "--cert";
        QTest::newRow("no key") << QStringList{"--library", library, "--cert", certificate.certificatePath} << "--key";
        QTest::newRow("port too large") << QStringList{"--library", library, "--port", "70000"} + tls << "70000";
        QTest::newRow("port not a number") << QStringList{"--library", library, "--port", "https"} + tls << "https";
        QTest::newRow("host name as address")
            << QStringList{"--library", library, "--address", "localhost"} + tls << "localhost";
        QTest::newRow("certificate not PEM")
            << QStringList{"--library", library, "--cert", certificate.keyPath, "--key", certificate.keyPath}
            << "certificate";
        QTest::newRow("key missing") << QStringList{"--library", library,
                                                    "--cert",    certificate.certificatePath,
                                                    "--key",     library + "/none.key"}
                                     << "none.key";
        QTest::newRow("library not a folder") << QStringList{"--library", certificate.keyPath} + tls << "not a folder";
        QTest::newRow("limit not a number")
            << QStringList{"--library", library, "--idle-timeout", "soon"} + tls << "--idle-timeout soon";
        QTest::newRow("limit zero") << QStringList{"--library", library, "--max-connections", "0"} + tls
                                    << "--max-connections 0";
        QTest::newRow("stray argument") << QStringList{"--library", library, "extra"} + tls << "extra";
    }

    void badCommandLinesFailClearly()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = ServiceFixture::runToEnd(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.output.contains(message), qPrintable(run.output));
        QVERIFY(!run.output.contains("listening"));
    }

    void portInUseIsReported()
    {
        ServiceFixture first;
        QVERIFY2(first.start(), qPrintable(first.errorString()));
        const TestCertificate certificate = TestPki::shared().serverCertificate();
        const Run run =
            ServiceFixture::runToEnd({"--library", first.libraryPath(), "--port", QString::number(first.port()),
                                      "--cert", certificate.certificatePath, "--key", certificate.keyPath});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.output.contains("cannot listen"), qPrintable(run.output));
    }

    void speaksOnlyTls()
    {
        ServiceFixture service;
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        QTcpSocket plain;
        plain.connectToHost(QHostAddress::LocalHost, service.port());
        QVERIFY(plain.waitForConnected(10000));
        plain.write("GET /velmora/api/categories HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        QByteArray answer;
        while (plain.waitForReadyRead(2000))
            answer += plain.readAll();
        QVERIFY2(!answer.contains("HTTP/1.1 200"), answer.constData());
        // And over TLS it answers.
        QCOMPARE(service.get("/categories").status, 200);
    }

    void wireLevelTraversalGets404()
    {
        ServiceFixture service;
        QVERIFY(!service.addImage("sea", mar5, "sea-1.png").isEmpty());
        QVERIFY(service.writeFile("secret.txt", "private"));
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        QCOMPARE(service.rawGet("/velmora/api/get/sea-1.png").status, 200);
        for (const char* target :
             {"/velmora/api/get/../secret.txt", "/velmora/api/get/../../../../etc/passwd",
              "/velmora/api/get/..%2Fsecret.txt", "/velmora/api/get/%2e%2e%2fsecret.txt",
              "/velmora/api/get/..%5Csecret.txt", "/velmora/api/get//etc/passwd", "/velmora/api/get/%2Fetc%2Fpasswd",
              "/velmora/api/mini/..%2Fsecret.txt", "/velmora/api/get/C:%5Cwindows%5Cwin.ini",
              "/velmora/api/../../secret.txt", "/../secret.txt", "/velmora/api/get/sea%2F2026-03-05%2Fsea-1.png",
              "https://127.0.0.1/velmora/api/get/%2Fetc%2Fpasswd", "/velmora/api/get/secret.txt"}) {
            const ServiceFixture::Reply reply = service.rawGet(target);
            QVERIFY2(reply.error.isEmpty(), qPrintable(reply.error));
            QVERIFY2(reply.status == 404 || reply.status == 400, target);
            QVERIFY(!reply.body.contains("private"));
        }
    }

    void logsOneLinePerRequest()
    {
        ServiceFixture service;
        QVERIFY(!service.addImage("sea", mar5, "sea-1.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        QTRY_VERIFY(service.log().contains("library: 1 categories, 1 pictures"));
        QCOMPARE(requestLines(service.log()), 0);

        QCOMPARE(service.get("/categories").status, 200);
        QCOMPARE(service.get("/wallpapers?category=sea&date=05%2F03%2F2026").status, 200);
        QCOMPARE(service.get("/get/sea-1.png").status, 200);
        QCOMPARE(service.get("/mini/sea-1.png").status, 200);
        QCOMPARE(service.get("/get/nope.png").status, 404);
        QCOMPARE(service.rawGet("/nowhere%0Ainjected").status, 404);
        QTRY_COMPARE(requestLines(service.log()), 6);
        const QString log = service.log();
        QVERIFY(log.contains("GET /velmora/api/get/nope.png 404"));
        QVERIFY(log.contains("GET /velmora/api/wallpapers?category=sea&date=05%2F03%2F2026 200"));
        // What the client sent cannot forge a log line.
        QVERIFY(!log.contains("\ninjected"));
    }

    void followsChangesToTheLibrary()
    {
        ServiceFixture service;
        QVERIFY(!service.addImage("sea", mar5, "sea-1.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        const qint64 first = service.catalogueTimestamp();
        QVERIFY(first > 0);

        QVERIFY(service.addCategory("forest", QStringLiteral("Лес")));
        QVERIFY(!service.addImage("forest", mar5, "forest-1.png").isEmpty());
        const qint64 second = service.waitForCatalogueChange(first);
        QVERIFY2(second > first, qPrintable(service.log()));
        QTRY_COMPARE(
            service.get("/wallpapers?category=forest&date=05%2F03%2F2026").json().value("data").toArray().size(), 1);
        QTRY_COMPARE(service.get("/get/forest-1.png").status, 200);

        // A picture added to an existing date folder.
        QVERIFY(!service.addImage("sea", mar5, "sea-2.png").isEmpty());
        QTRY_COMPARE(service.get("/wallpapers?category=sea&date=05%2F03%2F2026").json().value("data").toArray().size(),
                     2);

        // A category removed.
        QVERIFY(QDir(service.libraryPath() + "/forest").removeRecursively());
        QVERIFY(service.waitForCatalogueChange(second) != second);
        QCOMPARE(service.get("/get/forest-1.png").status, 404);
        QVERIFY(!service.get("/wallpapers?category=forest&date=05%2F03%2F2026").json().value("success").toBool());
    }

    void demoFillsAnEmptyLibrary()
    {
        ServiceFixture service;
        QVERIFY2(service.start({"--demo"}), qPrintable(service.errorString()));
        const QJsonObject categories = service.get("/categories").json();
        QVERIFY(categories.value("success").toBool());
        const QJsonArray list = categories.value("data").toArray();
        QVERIFY(list.size() >= 4);
        const QString thumbnail = list.at(0).toObject().value("thumbnail").toString();
        const ServiceFixture::Reply picture = service.get("/get/" + thumbnail);
        QCOMPARE(picture.status, 200);
        QCOMPARE(QImage::fromData(picture.body).size(), QSize(2560, 1440));
        const QString today = QDate::currentDate().toString("dd%2FMM%2Fyyyy");
        const QJsonObject wallpapers =
            service.get("/wallpapers?category=" + list.at(0).toObject().value("id").toString() + "&date=" + today)
                .json();
        QVERIFY(wallpapers.value("data").toArray().size() >= 2);

        // Started again with --demo, it serves what is there.
        service.stop();
        QVERIFY(service.start({"--demo"}));
        QCOMPARE(service.get("/categories").json().value("data").toArray(), list);
        QVERIFY(service.log().contains("not empty"));
    }
};

VELMORA_TEST_MAIN(TestServiceProcess)
#include "test_service_process.moc"
