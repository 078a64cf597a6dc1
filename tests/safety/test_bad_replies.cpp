// Replies a misbehaving server may send: a download redirected elsewhere is
// filed under the name asked for, and a list that is not JSON says so.

#include "canned_https_server.h"
#include "safety_support.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_window.h"

#include "utils/path_helper.h"

using Access = ModernWindowTestAccess;

class TestBadReplies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(configLocation()).removeRecursively();
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
        QDir(PathHelper::getTemporaryDirectory()).removeRecursively();
    }

    void redirectKeepsRequestedName()
    {
        CannedHttpsServer server;
        const QByteArray picture = ServiceFixture::encodedImage(QSize(32, 18), Qt::darkCyan);
        server.setResponder([&](const QByteArray& target) -> CannedHttpsServer::Answer {
            if (target.endsWith("/categories"))
                return {200, R"({"success":true,"data":[],"timestamp":1})"};
            if (target.contains("/wallpapers?"))
                return {200, R"({"success":true,"data":[{"filename":"asked.png"}]})"};
            if (target.endsWith("/get/asked.png"))
                return {302, {}, "text/plain", server.origin().toUtf8() + "/velmora/api/get/elsewhere.png"};
            if (target.endsWith("/get/elsewhere.png"))
                return {200, picture, "image/png"};
            return {404, {}};
        });
        QVERIFY(server.listen());
        ModernWindow window(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        window.setCategoryRating("c", 1);
        QVERIFY(runChange(window));
        QCOMPARE(Access::lastApiError(window), QString());
        QVERIFY(server.requests().join('\n').append('\n').contains("/get/elsewhere.png\n"));

        const QString id = Access::screenId(window, 0);
        QCOMPARE(QDir(configLocation() + "/wallpapers/" + id).entryList(QDir::Files), QStringList{"asked.png"});
        QFile log(configLocation() + "/history/" + id + ".log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray line = log.readAll();
        QVERIFY2(line.contains("] [asked.png] [") && !line.contains("elsewhere"), line.constData());
        QVERIFY(!QFileInfo::exists(PathHelper::getTemporaryDirectory() + "/elsewhere.png"));
    }

    void listNotJsonSaysSo_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        const QString notJson = "la réponse du service n'est pas du JSON";
        QTest::newRow("HTML page") << QByteArray("<html>maintenance</html>") << notJson;
        QTest::newRow("cut off") << QByteArray(R"({"success":true,"data":[)") << notJson;
        QTest::newRow("array") << QByteArray("[]") << QString("la réponse du service n'est pas un objet JSON");
        QTest::newRow("no success") << QByteArray("{}") << QString("sans \"success\"");
    }

    void listNotJsonSaysSo()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        CannedHttpsServer server;
        server.setReply(200, body, "text/html");
        QVERIFY(server.listen());
        ModernWindow window(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        window.setCategoryRating("c", 1);
        const QMap<QString, QByteArray> before = snapshot(configLocation());
        QVERIFY(runChange(window));
        const QString error = Access::lastApiError(window);
        QVERIFY2(error.startsWith("Erreur API wallpapers pour écran 1: ") && error.contains(reason), qPrintable(error));
        QCOMPARE(snapshot(configLocation()), before);
    }
};

VELMORA_TEST_MAIN(TestBadReplies)
#include "test_bad_replies.moc"
