#include "service_fixture.h"
#include "test_main.h"

#include "catalogue.h"
#include "library.h"
#include "request_handler.h"
#include "thumbnail_cache.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>

namespace {

const QDate mar1(2026, 3, 1);
const QDate mar5(2026, 3, 5);

QImage decode(const QByteArray& bytes)
{
    return QImage::fromData(bytes);
}

} // namespace

// What each request gets, without HTTP in between: paths and queries arrive
// exactly as sent on the wire.
class TestServiceRequests : public QObject
{
    Q_OBJECT

    ServiceFixture library;
    Catalogue catalogue;
    std::unique_ptr<ThumbnailCache> thumbnails;
    std::unique_ptr<RequestHandler> handler;

    ServiceResponse get(const QByteArray& path, const QByteArray& query = {})
    {
        return handler->handle("GET", path, query);
    }

    void reindex() { catalogue.update(LibraryScanner::scan(library.libraryPath()), 1000); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(library.addCategory("sea", QStringLiteral("Море")));
        QVERIFY(!library.addImage("sea", mar1, "sea-1.png", Qt::blue, QSize(800, 400)).isEmpty());
        QVERIFY(!library.addImage("sea", mar5, "sea 5.jpg", Qt::cyan, QSize(1280, 720)).isEmpty());
        QVERIFY(!library.addImage("sea", mar5, "small.png", Qt::red, QSize(100, 50)).isEmpty());
        // Qt reads GIF but cannot write it: a tiny one made by hand.
        QVERIFY(
            library.writeFile(QStringLiteral("city lights/2026-03-05/ночь.gif"),
                              QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==")));
        QVERIFY(library.writeFile("secret.txt", "outside any category"));
        QVERIFY(library.writeFile("sea/notes.txt", "stray"));
        reindex();
        thumbnails = std::make_unique<ThumbnailCache>(library.libraryPath() + "/.mini");
        handler = std::make_unique<RequestHandler>(catalogue, *thumbnails);
    }

    void categories()
    {
        const ServiceResponse response = get("/velmora/api/categories", "unused=1");
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, QByteArray("application/json"));
        const QJsonObject reply = QJsonDocument::fromJson(response.body).object();
        QVERIFY(reply.value("success").toBool());
        QCOMPARE(reply.value("data").toArray().size(), 2);
        QCOMPARE(reply.value("timestamp").toInteger(), catalogue.timestamp());
    }

    void wallpapers()
    {
        ServiceResponse response = get("/velmora/api/wallpapers", "category=sea&date=05%2F03%2F2026");
        QCOMPARE(response.status, 200);
        QJsonObject reply = QJsonDocument::fromJson(response.body).object();
        QVERIFY(reply.value("success").toBool());
        QCOMPARE(reply.value("data").toArray().size(), 2);
        QCOMPARE(reply.value("data").toArray().at(0).toObject().value("filename").toString(), "sea 5.jpg");
        QCOMPARE(reply.value("nearest_previous_date").toString(), "01/03/2026");

        response = get("/velmora/api/wallpapers", "category=city%20lights&date=05%2F03%2F2026");
        reply = QJsonDocument::fromJson(response.body).object();
        QCOMPARE(reply.value("data").toArray().at(0).toObject().value("filename").toString(),
                 QStringLiteral("ночь.gif"));
        // Order of parameters and plain slashes do not matter.
        response = get("/velmora/api/wallpapers", "date=05/03/2026&category=sea&extra=1");
        QVERIFY(QJsonDocument::fromJson(response.body).object().value("success").toBool());
    }

    void garbageQueriesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QString>("error");
        QTest::newRow("nothing") << QByteArray() << "category";
        QTest::newRow("no date") << QByteArray("category=sea") << "date";
        QTest::newRow("no category") << QByteArray("date=05%2F03%2F2026") << "category";
        QTest::newRow("empty values") << QByteArray("category=&date=") << "category";
        QTest::newRow("bare keys") << QByteArray("category&date") << "category";
        QTest::newRow("separators only") << QByteArray("&&&=&=") << "category";
        QTest::newRow("unknown category") << QByteArray("category=volcano&date=05%2F03%2F2026") << "volcano";
        QTest::newRow("case matters") << QByteArray("category=Sea&date=05%2F03%2F2026") << "Sea";
        QTest::newRow("repeated") << QByteArray("category=sea&date=05%2F03%2F2026&category=x") << "category";
        QTest::newRow("short date") << QByteArray("category=sea&date=5%2F3%2F2026") << "5/3/2026";
        QTest::newRow("iso date") << QByteArray("category=sea&date=2026-03-05") << "2026-03-05";
        QTest::newRow("impossible date") << QByteArray("category=sea&date=31%2F02%2F2026") << "31/02/2026";
        QTest::newRow("month 13") << QByteArray("category=sea&date=01%2F13%2F2026") << "01/13/2026";
        QTest::newRow("trailing junk") << QByteArray("category=sea&date=05%2F03%2F2026x") << "2026x";
        QTest::newRow("bad escapes") << QByteArray("category=s%ZZea&date=05%2F03%2F2026") << "Catégorie inconnue";
        QTest::newRow("invalid UTF-8") << QByteArray("category=%FF%FE&date=05%2F03%2F2026") << "Catégorie inconnue";
        QTest::newRow("control characters") << QByteArray("category=a%0Ab%1B&date=05%2F03%2F2026")
                                            << "a\xEF\xBF\xBD"
                                               "b";
        QTest::newRow("huge value") << "category=" + QByteArray(100000, 'x') + "&date=05%2F03%2F2026"
                                    << "…";
    }

    void garbageQueriesAreRefused()
    {
        QFETCH(QByteArray, query);
        QFETCH(QString, error);
        const ServiceResponse response = get("/velmora/api/wallpapers", query);
        QCOMPARE(response.status, 200);
        const QJsonObject reply = QJsonDocument::fromJson(response.body).object();
        QCOMPARE(reply.value("success").toBool(true), false);
        const QString text = reply.value("error").toString();
        QVERIFY2(text.contains(error), qPrintable(text));
        QVERIFY(text.size() < 200);
        QVERIFY(!text.contains('\n') && !text.contains(QChar(0x1b)));
    }

    void unknownPathsGet404_data()
    {
        QTest::addColumn<QByteArray>("path");
        for (const char* path :
             {"/", "", "/velmora", "/velmora/api", "/velmora/api/", "/velmora/api/categoriesx",
              "/velmora/api/CATEGORIES", "/velmora/api/categories/", "/velmora/api//categories",
              "/velmora/api/./categories", "/other/velmora/api/categories", "/velmora/api/get", "/velmora/api/get/",
              "/velmora/api/mini/", "/velmora/api/thumb/sea-1.png", "/velmora/api/get/sea-1.png/",
              "/velmora/api/get/sea-1.png/x", "/VELMORA/api/categories"})
            QTest::newRow(path) << QByteArray(path);
    }

    void unknownPathsGet404()
    {
        QFETCH(QByteArray, path);
        const ServiceResponse response = get(path);
        QCOMPARE(response.status, 404);
        QCOMPARE(QJsonDocument::fromJson(response.body).object().value("success").toBool(true), false);
    }

    void nothingOutsideThePublishedPictures_data()
    {
        QTest::addColumn<QByteArray>("path");
        const QByteArray real = QFile::encodeName(library.libraryPath());
        const QList<QByteArray> names = {"../secret.txt",
                                         "..%2Fsecret.txt",
                                         "..%2f..%2f..%2fetc%2fpasswd",
                                         "%2E%2E%2Fsecret.txt",
                                         "..%5Csecret.txt",
                                         "%2Fetc%2Fpasswd",
                                         "%2F" + real.toPercentEncoding() + "%2Fsea%2F2026-03-01%2Fsea-1.png",
                                         "C:%5Cwindows%5Cwin.ini",
                                         "C:sea-1.png",
                                         "..",
                                         "%2E%2E",
                                         ".",
                                         "sea%2F2026-03-01%2Fsea-1.png",
                                         "sea%5C2026-03-01%5Csea-1.png",
                                         "secret.txt",
                                         "notes.txt",
                                         "category.json",
                                         ".mini",
                                         "sea-1.png%00.txt",
                                         "sea-1.png%00",
                                         "%00",
                                         "sea-1.png%20",
                                         "SEA-1.PNG",
                                         "sea-1.png%3F",
                                         "sea-1.png%23x"};
        for (const QByteArray& name : names) {
            QTest::newRow(QByteArray("get " + name).constData()) << "/velmora/api/get/" + name;
            QTest::newRow(QByteArray("mini " + name).constData()) << "/velmora/api/mini/" + name;
        }
    }

    void nothingOutsideThePublishedPictures()
    {
        QFETCH(QByteArray, path);
        QCOMPARE(get(path).status, 404);
    }

    void picturesComeWithTheirType()
    {
        ServiceResponse response = get("/velmora/api/get/sea-1.png");
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, QByteArray("image/png"));
        QFile file(library.libraryPath() + "/sea/2026-03-01/sea-1.png");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(response.body, file.readAll());

        response = get("/velmora/api/get/sea%205.jpg");
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, QByteArray("image/jpeg"));
        response = get("/velmora/api/get/%D0%BD%D0%BE%D1%87%D1%8C.gif");
        QCOMPARE(response.contentType, QByteArray("image/gif"));
        QCOMPARE(decode(response.body).size(), QSize(1, 1));
    }

    void otherMethodsAreRefused()
    {
        QCOMPARE(handler->handle("POST", "/velmora/api/categories", {}).status, 405);
        QCOMPARE(handler->handle("DELETE", "/velmora/api/get/sea-1.png", {}).status, 405);
    }

    void thumbnailsAreMadeOnceAndKept()
    {
        const QString cached = library.libraryPath() + "/.mini/sea 5.jpg";
        QVERIFY(!QFile::exists(cached));
        const ServiceResponse first = get("/velmora/api/mini/sea%205.jpg");
        QCOMPARE(first.status, 200);
        QCOMPARE(first.contentType, QByteArray("image/jpeg"));
        QCOMPARE(decode(first.body).size(), QSize(320, 180));
        QVERIFY(QFile::exists(cached));
        QCOMPARE(get("/velmora/api/mini/sea%205.jpg").body, first.body);

        // A new process finds it on disk instead of drawing it again.
        QFile file(cached);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("kept on disk");
        file.close();
        ThumbnailCache restarted(library.libraryPath() + "/.mini");
        QCOMPARE(restarted.thumbnail(*catalogue.picture("sea 5.jpg")).data, QByteArray("kept on disk"));

        // A changed picture gets a new thumbnail.
        LibraryPicture changed = *catalogue.picture("sea 5.jpg");
        changed.modified = QFileInfo(cached).lastModified().addSecs(60);
        const ThumbnailCache::Result remade = restarted.thumbnail(changed);
        QVERIFY(remade.ok());
        QCOMPARE(decode(remade.data).size(), QSize(320, 180));
    }

    void smallAndOddPictures()
    {
        // Never enlarged.
        ServiceResponse response = get("/velmora/api/mini/small.png");
        QCOMPARE(response.status, 200);
        QCOMPARE(decode(response.body).size(), QSize(100, 50));
        // GIF cannot be written: the thumbnail is a PNG, and says so.
        response = get("/velmora/api/mini/%D0%BD%D0%BE%D1%87%D1%8C.gif");
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, QByteArray("image/png"));
        QCOMPARE(decode(response.body).size(), QSize(1, 1));
        QVERIFY(QFile::exists(library.libraryPath() + QStringLiteral("/.mini/ночь.gif.png")));
    }

    void pictureSpoiledAfterIndexing()
    {
        ServiceFixture other;
        const QString path = other.addImage("sea", mar1, "spoiled.png", Qt::blue, QSize(400, 200));
        const QString gone = other.addImage("sea", mar1, "gone.png");
        Catalogue index;
        index.update(LibraryScanner::scan(other.libraryPath()), 1);
        // The cache folder cannot be made: thumbnails are still served.
        QVERIFY(other.writeFile(".mini", "a file where the cache folder would be"));
        ThumbnailCache cache(other.libraryPath() + "/.mini");
        RequestHandler requests(index, cache);

        ServiceResponse response = requests.handle("GET", "/velmora/api/mini/spoiled.png", {});
        QCOMPARE(response.status, 200);
        QVERIFY(!response.note.isEmpty());

        QVERIFY(other.writeFile("sea/2026-03-01/spoiled.png", "no longer an image"));
        LibraryPicture touched = *index.picture("spoiled.png");
        QVERIFY(QFile::remove(gone));
        index.update(LibraryScanner::scan(other.libraryPath()), 2);
        // Re-indexing drops the spoiled picture and the removed one.
        QVERIFY(!index.picture("spoiled.png"));
        QCOMPARE(requests.handle("GET", "/velmora/api/get/gone.png", {}).status, 404);
        QCOMPARE(requests.handle("GET", "/velmora/api/mini/spoiled.png", {}).status, 404);

        // Before a re-index, a spoiled source cannot be made small: a server error, logged.
        touched.modified = touched.modified.addSecs(120);
        const ThumbnailCache::Result result = cache.thumbnail(touched);
        QVERIFY(!result.ok());
        QVERIFY(result.error.contains("spoiled.png"));
    }
};

VELMORA_TEST_MAIN(TestServiceRequests)
#include "test_service_requests.moc"
