#include "service_fixture.h"
#include "test_main.h"

#include "core/service_api.h"
#include "core/service_file_name.h"

#include <QPixmap>

// The protocol pieces that need no network: URL forms, reply readers, file names.
class TestServiceProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void urlForms_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("expected");
        const QString origin = QStringLiteral("https://wall.example:8443");
        QTest::newRow("categories") << ServiceApi::categoriesUrl(origin)
                                    << "https://wall.example:8443/velmora/api/categories";
        QTest::newRow("wallpapers")
            << ServiceApi::wallpapersUrl(origin, "nature", "05/03/2026")
            << "https://wall.example:8443/velmora/api/wallpapers?category=nature&date=05%2F03%2F2026";
        QTest::newRow("space in id")
            << ServiceApi::wallpapersUrl(origin, "city lights", "31/12/2025")
            << "https://wall.example:8443/velmora/api/wallpapers?category=city%20lights&date=31%2F12%2F2025";
        // Inserted unchanged: the ampersand splits the query, as the URL parser decides.
        QTest::newRow("ampersand in id")
            << ServiceApi::wallpapersUrl(origin, "a&b", "01/01/2026")
            << "https://wall.example:8443/velmora/api/wallpapers?category=a&b&date=01%2F01%2F2026";
        QTest::newRow("image") << ServiceApi::imageUrl(origin, "sea-1.jpg")
                               << "https://wall.example:8443/velmora/api/get/sea-1.jpg";
        QTest::newRow("image with space")
            << ServiceApi::imageUrl(origin, "sea 1.jpg") << "https://wall.example:8443/velmora/api/get/sea%201.jpg";
        QTest::newRow("thumbnail") << ServiceApi::thumbnailUrl(origin, "Горы.png")
                                   << "https://wall.example:8443/velmora/api/mini/%D0%93%D0%BE%D1%80%D1%8B.png";
    }

    void urlForms()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, expected);
        QVERIFY(url.isValid());
        QCOMPARE(url.toString(QUrl::FullyEncoded), expected);
    }

    void nearestDateIsEncodedLikeAnyDate()
    {
        QCOMPARE(ServiceApi::encodeDate(QStringLiteral("04/03/2026")), QStringLiteral("04%2F03%2F2026"));
        QCOMPARE(ServiceApi::apiBase(QStringLiteral("https://h")), QStringLiteral("https://h/velmora/api"));
    }

    void categoryListReader_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("timestamp");
        QTest::newRow("valid") << QByteArray(
                                      R"({"success":true,"data":[{"id":"a"},{"id":"b"}],"timestamp":1772700000123})")
                               << true << 2 << qint64(1772700000123);
        QTest::newRow("timestamp as text")
            << QByteArray(R"({"success":true,"data":[],"timestamp":"42"})") << true << 0 << qint64(42);
        QTest::newRow("timestamp missing") << QByteArray(R"({"success":true,"data":[]})") << true << 0 << qint64(0);
        QTest::newRow("timestamp garbage")
            << QByteArray(R"({"success":true,"timestamp":"soon"})") << true << 0 << qint64(0);
        QTest::newRow("timestamp huge") << QByteArray(R"({"success":true,"timestamp":1e300})") << true << 0
                                        << qint64(0);
        QTest::newRow("success missing") << QByteArray(R"({"data":[{"id":"a"}],"timestamp":5})") << false << 1
                                         << qint64(5);
        QTest::newRow("success as text") << QByteArray(R"({"success":"true"})") << false << 0 << qint64(0);
        QTest::newRow("data not array") << QByteArray(R"({"success":true,"data":{"id":"a"}})") << true << 0
                                        << qint64(0);
        QTest::newRow("not JSON") << QByteArray("<html>502 Bad Gateway</html>") << false << 0 << qint64(0);
        QTest::newRow("top-level array") << QByteArray(R"([{"success":true}])") << false << 0 << qint64(0);
        QTest::newRow("empty body") << QByteArray() << false << 0 << qint64(0);
        QTest::newRow("truncated") << QByteArray(R"({"success":true,"data":[)") << false << 0 << qint64(0);
    }

    void categoryListReader()
    {
        QFETCH(QByteArray, body);
        const CategoryListReply reply = ServiceApi::readCategoryList(body);
        QTEST(reply.success, "success");
        QTEST(int(reply.data.size()), "count");
        QTEST(reply.timestamp, "timestamp");
    }

    void categoryMembersDefaultToEmpty()
    {
        const ServiceCategory full = ServiceApi::readCategory(
            QJsonObject{{"id", "sea"}, {"name", QStringLiteral("Море")}, {"thumbnail", "sea-1.jpg"}});
        QCOMPARE(full.id, QStringLiteral("sea"));
        QCOMPARE(full.name, QStringLiteral("Море"));
        QCOMPARE(full.thumbnail, QStringLiteral("sea-1.jpg"));
        const ServiceCategory odd = ServiceApi::readCategory(QJsonObject{{"id", 7}, {"name", QJsonValue::Null}});
        QVERIFY(odd.id.isEmpty() && odd.name.isEmpty() && odd.thumbnail.isEmpty());
        QVERIFY(ServiceApi::readCategory(QJsonValue(QStringLiteral("sea"))).id.isEmpty());
    }

    void wallpaperListReader()
    {
        WallpaperListReply reply = ServiceApi::readWallpaperList(
            R"({"success":true,"data":[{"filename":"b.jpg"},{"other":1},"x",{"filename":"a.jpg"}],)"
            R"("nearest_previous_date":"04/03/2026"})");
        QVERIFY(reply.success);
        QCOMPARE(reply.fileNames, (QStringList{"b.jpg", "", "", "a.jpg"}));
        QCOMPARE(reply.nearestPreviousDate, QStringLiteral("04/03/2026"));
        QVERIFY(reply.error.isEmpty());

        reply = ServiceApi::readWallpaperList(R"({"success":true,"data":[]})");
        QVERIFY(reply.success);
        QVERIFY(reply.fileNames.isEmpty());
        QVERIFY(reply.nearestPreviousDate.isEmpty());

        reply = ServiceApi::readWallpaperList(R"({"success":false,"error":"Catégorie inconnue"})");
        QVERIFY(!reply.success);
        QCOMPARE(reply.error, QStringLiteral("Catégorie inconnue"));

        reply = ServiceApi::readWallpaperList("not json at all");
        QVERIFY(!reply.success);
        QVERIFY2(reply.error.startsWith(QStringLiteral("la réponse du service n'est pas du JSON")),
                 qPrintable(reply.error));
        QVERIFY(!ServiceApi::readWallpaperList(R"([{"filename":"a.jpg"}])").success);
    }

    void imagesDecodeFromContent()
    {
        const QByteArray png = ServiceFixture::encodedImage(QSize(8, 4), Qt::red);
        QVERIFY(!png.isEmpty());
        QPixmap pixmap;
        QVERIFY(ServiceApi::decodeImage(png, pixmap));
        QCOMPARE(pixmap.size(), QSize(8, 4));
        QVERIFY(!ServiceApi::decodeImage("{\"success\":false}", pixmap));
        QVERIFY(!ServiceApi::decodeImage(png.left(png.size() / 3), pixmap));
    }

    void safeFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "sea-20260305-1.jpg" << true;
        QTest::newRow("spaces inside") << "my sea 1.png" << true;
        QTest::newRow("cyrillic") << QStringLiteral("Горы.jpg") << true;
        QTest::newRow("leading dot") << ".hidden.jpg" << true;
        QTest::newRow("longest") << QString(124, QLatin1Char('a')) + ".jpg" << true;
        QTest::newRow("too long") << QString(125, QLatin1Char('a')) + ".jpg" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "a/b.jpg" << false;
        QTest::newRow("traversal") << "../../etc/passwd" << false;
        QTest::newRow("backslash") << "..\\evil.jpg" << false;
        QTest::newRow("absolute unix") << "/etc/passwd" << false;
        QTest::newRow("drive") << "C:evil.jpg" << false;
        QTest::newRow("stream") << "a.jpg:Zone.Identifier" << false;
        QTest::newRow("newline") << "a\nb.jpg" << false;
        QTest::newRow("nul") << QString::fromUtf8("a\0b.jpg", 7) << false;
        QTest::newRow("escape") << "a\x1b[31m.jpg" << false;
        QTest::newRow("delete") << "a\x7f.jpg" << false;
        QTest::newRow("star") << "*.jpg" << false;
        QTest::newRow("question") << "a?.jpg" << false;
        QTest::newRow("quote") << "a\".jpg" << false;
        QTest::newRow("angle") << "a<b>.jpg" << false;
        QTest::newRow("pipe") << "a|b.jpg" << false;
        QTest::newRow("trailing dot") << "a.jpg." << false;
        QTest::newRow("trailing space") << "a.jpg " << false;
        QTest::newRow("leading space") << " a.jpg" << false;
        QTest::newRow("device") << "NUL" << false;
        QTest::newRow("device with extension") << "con.jpg" << false;
        QTest::newRow("numbered device") << "Com1.png" << false;
        QTest::newRow("not a device") << "com10.png" << true;
        QTest::newRow("device-like prefix") << "console.jpg" << true;
    }

    void safeFileNames()
    {
        QFETCH(QString, name);
        QTEST(isSafeServiceFileName(name), "safe");
    }
};

VELMORA_TEST_MAIN(TestServiceProtocol)
#include "test_service_protocol.moc"
