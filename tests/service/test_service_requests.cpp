#include "service_fixture.h"
#include "test_main.h"

#include "catalogue.h"
#include "library.h"
#include "request_handler.h"
#include "thumbnail_cache.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QTimer>

#include <optional>
#include <utime.h>

namespace {

const QDate mar1(2026, 3, 1);
const QDate mar5(2026, 3, 5);

QImage decode(const QByteArray& bytes)
{
    return QImage::fromData(bytes);
}

// A thumbnail as the service would send it, waiting for the worker.
ThumbnailCache::Result thumbnailOf(ThumbnailCache& cache, const LibraryPicture& picture)
{
    std::optional<ThumbnailCache::Result> result;
    QObject receiver;
    QEventLoop loop;
    cache.thumbnail(picture, &receiver, [&](const ThumbnailCache::Result& made) {
        result = made;
        loop.quit();
    });
    if (!result) {
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return result.value_or(ThumbnailCache::Result{{}, {}, QStringLiteral("no answer"), {}});
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeContents(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

    // The thumbnail behind a "/mini/" path.
    ServiceResponse mini(const QByteArray& encodedName)
    {
        ServiceResponse response = get("/velmora/api/mini/" + encodedName);
        if (response.source != ServiceResponse::Source::Thumbnail)
            return response;
        const ThumbnailCache::Result made = thumbnailOf(*thumbnails, *response.picture);
        response.status = made.ok() ? 200 : 500;
        response.contentType = made.mimeType;
        response.body = made.data;
        response.note = made.ok() ? made.note : made.error;
        return response;
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
        thumbnails = std::make_unique<ThumbnailCache>(library.libraryPath());
        handler = std::make_unique<RequestHandler>(catalogue);
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
        QCOMPARE(response.source, ServiceResponse::Source::PictureFile);
        QCOMPARE(response.picture->relativePath, QStringLiteral("sea/2026-03-01/sea-1.png"));

        response = get("/velmora/api/get/sea%205.jpg");
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, QByteArray("image/jpeg"));
        response = get("/velmora/api/get/%D0%BD%D0%BE%D1%87%D1%8C.gif");
        QCOMPARE(response.contentType, QByteArray("image/gif"));
    }

    void methods()
    {
        QCOMPARE(handler->handle("POST", "/velmora/api/categories", {}).status, 405);
        QCOMPARE(handler->handle("DELETE", "/velmora/api/get/sea-1.png", {}).status, 405);
        // HEAD is answered as GET; the connection leaves the body out.
        const ServiceResponse head = handler->handle("HEAD", "/velmora/api/categories", {});
        QCOMPARE(head.status, 200);
        QCOMPARE(head.body, get("/velmora/api/categories").body);
    }

    void thumbnailsAreMadeOnceAndKept()
    {
        const QString cached = library.libraryPath() + "/.mini/sea 5.jpg.thumbnail";
        QVERIFY(!QFile::exists(cached));
        const ServiceResponse first = mini("sea%205.jpg");
        QCOMPARE(first.status, 200);
        QCOMPARE(first.contentType, QByteArray("image/jpeg"));
        QCOMPARE(decode(first.body).size(), QSize(320, 180));
        QVERIFY(contents(cached).endsWith(first.body));
        QCOMPARE(mini("sea%205.jpg").body, first.body);

        // A new process finds it on disk instead of drawing it again.
        const QByteArray stampLine = contents(cached).left(contents(cached).indexOf('\n') + 1);
        QVERIFY(writeContents(cached, stampLine + "kept on disk"));
        const LibraryPicture picture = *catalogue.picture("sea 5.jpg");
        QCOMPARE(thumbnailOf(*std::make_unique<ThumbnailCache>(library.libraryPath()), picture).data,
                 QByteArray("kept on disk"));

        // A file in the cache that is not one of ours is replaced, not served.
        QVERIFY(writeContents(cached, "foreign"));
        QCOMPARE(thumbnailOf(*std::make_unique<ThumbnailCache>(library.libraryPath()), picture).data, first.body);

        // A picture replaced by another with an older time gets a new thumbnail.
        const QString source = library.libraryPath() + "/sea/2026-03-05/sea 5.jpg";
        QVERIFY(writeContents(source, ServiceFixture::encodedImage(QSize(640, 640), Qt::green, "JPEG")));
        const utimbuf old{1000000000, 1000000000};
        QCOMPARE(::utime(QFile::encodeName(source).constData(), &old), 0);
        QCOMPARE(decode(mini("sea%205.jpg").body).size(), QSize(320, 320));
    }

    void smallAndOddPictures()
    {
        // Never enlarged.
        ServiceResponse response = mini("small.png");
        QCOMPARE(response.status, 200);
        QCOMPARE(decode(response.body).size(), QSize(100, 50));
        // GIF cannot be written: the thumbnail is a PNG, and says so.
        response = mini("%D0%BD%D0%BE%D1%87%D1%8C.gif");
        QCOMPARE(response.status, 200);
        QCOMPARE(response.contentType, QByteArray("image/png"));
        QCOMPARE(decode(response.body).size(), QSize(1, 1));
    }

    // Each picture has its own cache file, whatever the names.
    void namesThatLookAlikeKeepTheirOwnThumbnails()
    {
        ServiceFixture other;
        const QByteArray gif = QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");
        QVERIFY(other.writeFile("sea/2026-03-01/same.gif", gif));
        QVERIFY(!other.addImage("sea", mar1, "same.gif.png", Qt::red, QSize(40, 20)).isEmpty());
        Catalogue index;
        index.update(LibraryScanner::scan(other.libraryPath()), 1);
        ThumbnailCache cache(other.libraryPath());
        const QImage gifThumbnail = decode(thumbnailOf(cache, *index.picture("same.gif")).data);
        const QImage pngThumbnail = decode(thumbnailOf(cache, *index.picture("same.gif.png")).data);
        ThumbnailCache restarted(other.libraryPath());
        QCOMPARE(decode(thumbnailOf(restarted, *index.picture("same.gif")).data).size(), QSize(1, 1));
        QCOMPARE(decode(thumbnailOf(restarted, *index.picture("same.gif.png")).data).size(), QSize(40, 20));
        QCOMPARE(gifThumbnail.size(), QSize(1, 1));
        QCOMPARE(pngThumbnail.size(), QSize(40, 20));
    }

    void pictureSpoiledAfterIndexing()
    {
        ServiceFixture other;
        const QString path = other.addImage("sea", mar1, "spoiled.png", Qt::blue, QSize(400, 200));
        const QString gone = other.addImage("sea", mar1, "gone.png");
        Catalogue index;
        index.update(LibraryScanner::scan(other.libraryPath()), 1);
        // A file where the cache folder belongs is replaced by a folder.
        QVERIFY(other.writeFile(".mini", "a file where the cache folder would be"));
        ThumbnailCache cache(other.libraryPath());
        const ThumbnailCache::Result made = thumbnailOf(cache, *index.picture("spoiled.png"));
        QVERIFY2(made.ok(), qPrintable(made.error));
        QVERIFY(made.note.contains(".mini"));
        QVERIFY(QFileInfo(other.libraryPath() + "/.mini").isDir());

        QVERIFY(other.writeFile("sea/2026-03-01/spoiled.png", "no longer an image"));
        // Left alone for a while: a picture written a moment ago may still be in the middle of its writing.
        QFile spoiled(path);
        QVERIFY(spoiled.open(QIODevice::ReadWrite) &&
                spoiled.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        spoiled.close();
        const LibraryPicture touched = *index.picture("spoiled.png");
        QVERIFY(QFile::remove(gone));
        const LibraryPicture removed = *index.picture("gone.png");
        Catalogue fresh;
        fresh.update(LibraryScanner::scan(other.libraryPath()), 2);
        // Re-indexing drops the spoiled picture and the removed one.
        QVERIFY(!fresh.picture("spoiled.png"));
        QVERIFY(!fresh.picture("gone.png"));

        // Before a re-index, a spoiled source cannot be made small, and that is
        // remembered until it changes; a removed one is simply gone.
        const ThumbnailCache::Result failed = thumbnailOf(cache, touched);
        QVERIFY(!failed.ok());
        QVERIFY(failed.error.contains("spoiled.png"));
        QVERIFY(thumbnailOf(cache, touched).error.contains("remembered"));
        QVERIFY(!thumbnailOf(cache, removed).ok());
        QVERIFY(writeContents(path, ServiceFixture::encodedImage(QSize(64, 64), Qt::red)));
        QVERIFY(thumbnailOf(cache, touched).ok());
    }
};

VELMORA_TEST_MAIN(TestServiceRequests)
#include "test_service_requests.moc"
