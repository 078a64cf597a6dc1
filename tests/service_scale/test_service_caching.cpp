#include "http_caching.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"

#include <QProcess>

namespace {

const QDate mar5(2026, 3, 5);

using Run = ServiceFixture::Run;

} // namespace

// What caches in front of the service rely on: validators, 304 answers and
// how long each answer may be kept; and how it runs behind a local proxy.
class TestServiceCaching : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conditionsDecideAsHttpSays_data()
    {
        const QByteArray tag = "\"g-1\"";
        const QByteArray date = HttpCaching::httpDate(1'700'000'000);
        const QByteArray later = HttpCaching::httpDate(1'700'000'060);
        QTest::addColumn<QByteArray>("ifNoneMatch");
        QTest::addColumn<QByteArray>("ifModifiedSince");
        QTest::addColumn<bool>("notModified");
        QTest::newRow("same tag") << tag << QByteArray() << true;
        QTest::newRow("weak form of it") << "W/" + tag << QByteArray() << true;
        QTest::newRow("in a list") << "\"x\", " + tag << QByteArray() << true;
        QTest::newRow("any") << QByteArray("*") << QByteArray() << true;
        QTest::newRow("other tag, even with a newer date") << QByteArray("\"g-2\"") << later << false;
        QTest::newRow("same date") << QByteArray() << date << true;
        QTest::newRow("later date") << QByteArray() << later << true;
        QTest::newRow("earlier date") << QByteArray() << HttpCaching::httpDate(1'699'999'999) << false;
        QTest::newRow("unreadable date") << QByteArray() << QByteArray("yesterday") << false;
        QTest::newRow("no condition") << QByteArray() << QByteArray() << false;
    }
    void conditionsDecideAsHttpSays()
    {
        QFETCH(QByteArray, ifNoneMatch);
        QFETCH(QByteArray, ifModifiedSince);
        QFETCH(bool, notModified);
        QCOMPARE(HttpCaching::notModified(ifNoneMatch, ifModifiedSince, "\"g-1\"", 1'700'000'000), notModified);
    }

    void everyAnswerHasValidatorsAndAnswers304()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory("sea", "Mer", "sea-1.png"));
        QVERIFY(!service.addImage("sea", mar5, "sea-1.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));

        // Lists may change and are kept briefly; a published picture never changes.
        const QList<std::pair<QString, bool>> endpoints = {{"/categories", false},
                                                           {"/wallpapers?category=sea&date=05%2F03%2F2026", false},
                                                           {"/get/sea-1.png", true},
                                                           {"/mini/sea-1.png", true}};
        for (const auto& [path, immutable] : endpoints) {
            const ServiceFixture::Reply first = service.get(path);
            QCOMPARE(first.status, 200);
            const QByteArray etag = first.headers.value("etag");
            QVERIFY2(etag.startsWith('"') && etag.endsWith('"'), qPrintable(path));
            const QByteArray cacheControl = first.headers.value("cache-control");
            QVERIFY(cacheControl.startsWith("public, max-age="));
            QCOMPARE(cacheControl.contains("immutable"), immutable);
            for (const QByteArray method : {"GET", "HEAD"}) {
                const ServiceFixture::Reply again = service.request(method, path, {{"If-None-Match", etag}});
                QCOMPARE(again.status, 304);
                QVERIFY(again.body.isEmpty());
                QCOMPARE(again.headers.value("etag"), etag);
                QCOMPARE(again.headers.value("cache-control"), cacheControl);
            }
            QCOMPARE(service.request("GET", path, {{"If-None-Match", "\"other\""}}).status, 200);
            const QByteArray lastModified = first.headers.value("last-modified");
            if (immutable) {
                QVERIFY(HttpCaching::parseHttpDate(lastModified).has_value());
                QCOMPARE(service.request("GET", path, {{"If-Modified-Since", lastModified}}).status, 304);
                QCOMPARE(service.request("GET", path, {{"If-Modified-Since", HttpCaching::httpDate(86400)}}).status,
                         200);
            }
        }
        // Refusals are never kept.
        const ServiceFixture::Reply missing = service.get("/get/none.png");
        QCOMPARE(missing.status, 404);
        QVERIFY(missing.headers.value("etag").isEmpty());
        QCOMPARE(missing.headers.value("cache-control"), "no-cache");
    }

    void listTagsFollowTheLibrary()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory("sea", "Mer"));
        QVERIFY(!service.addImage("sea", mar5, "sea-1.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        const QString wallpapers = "/wallpapers?category=sea&date=05%2F03%2F2026";
        const auto tags = [&] {
            return std::pair(service.get("/categories").headers.value("etag"),
                             service.get(wallpapers).headers.value("etag"));
        };
        const auto before = tags();
        const auto indexed = [&] { return service.log().count(QLatin1String("library: ")); };

        // Read again, nothing published changed: the same tags.
        const qsizetype scans = indexed();
        QVERIFY(service.writeFile("sea/2026-03-05/.notes", "draft"));
        QTRY_VERIFY_WITH_TIMEOUT(indexed() > scans, 15000);
        QCOMPARE(tags(), before);

        // A new picture: the pictures' list changes, the category list does not.
        QVERIFY(!service.addImage("sea", mar5, "sea-2.png").isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(service.get(wallpapers).headers.value("etag") != before.second, 15000);
        QCOMPARE(service.request("GET", wallpapers, {{"If-None-Match", before.second}}).status, 200);
        QCOMPARE(service.get("/categories").headers.value("etag"), before.first);

        // A new category changes both.
        const qint64 stamp = service.catalogueTimestamp();
        QVERIFY(service.addCategory("forest"));
        QVERIFY(service.waitForCatalogueChange(stamp) != stamp);
        QVERIFY(service.get("/categories").headers.value("etag") != before.first);
    }

    void plainHttpOnlyOnLoopback_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("any IPv4") << "0.0.0.0";
        QTest::newRow("any IPv6") << "::";
        QTest::newRow("a network address") << "192.0.2.10";
    }
    void plainHttpOnlyOnLoopback()
    {
        QFETCH(QString, address);
        const Run run =
            ServiceFixture::runToEnd({"--library", TestEnvironment::root(), "--plain", "--address", address});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.output.contains("refusing to listen without TLS on " + address), qPrintable(run.output));
    }

    void forwardedForIsLoggedOnlyFromTheTrustedProxy_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("client");
        QTest::newRow("trusted") << QStringList{"--trusted-proxy", "127.0.0.1"} << "203.0.113.7 via 127.0.0.1 GET";
        QTest::newRow("another proxy") << QStringList{"--trusted-proxy", "127.0.0.2"} << " 127.0.0.1 GET";
        QTest::newRow("none") << QStringList{} << " 127.0.0.1 GET";
    }
    void forwardedForIsLoggedOnlyFromTheTrustedProxy()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, client);
        ServiceFixture service;
        QVERIFY2(service.start(arguments), qPrintable(service.errorString()));
        QCOMPARE(service.request("GET", "/categories", {{"X-Forwarded-For", "10.1.1.1, 203.0.113.7"}}).status, 200);
        QTRY_VERIFY(service.log().contains(client + " /velmora/api/categories"));
        QVERIFY(!service.log().contains("10.1.1.1"));
    }
};

VELMORA_TEST_MAIN(TestServiceCaching)
#include "test_service_caching.moc"
