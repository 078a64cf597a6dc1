#include "service_fixture.h"
#include "test_main.h"

#include "catalogue.h"
#include "demo_library.h"
#include "library.h"
#include "library_watcher.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDate mar1(2026, 3, 1);
const QDate mar3(2026, 3, 3);
const QDate mar5(2026, 3, 5);

QStringList ids(const LibrarySnapshot& snapshot)
{
    QStringList result;
    for (const LibraryCategory& category : snapshot.categories)
        result << category.id;
    return result;
}

bool hasProblem(const LibrarySnapshot& snapshot, const QString& start)
{
    for (const QString& problem : snapshot.problems) {
        if (problem.startsWith(start))
            return true;
    }
    return false;
}

} // namespace

// Reading a library folder into the catalogue, and the demo library.
class TestServiceLibrary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layoutIsIndexed()
    {
        ServiceFixture library;
        QVERIFY(library.addCategory("sea", QStringLiteral("Море"), "sea-1.png"));
        QVERIFY(!library.addImage("sea", mar1, "sea-1.png").isEmpty());
        QVERIFY(!library.addImage("sea", mar3, "sea-3b.jpg").isEmpty());
        QVERIFY(!library.addImage("sea", mar3, "sea-3a.bmp").isEmpty());
        QVERIFY(!library.addImage("forest", mar5, "forest-5.webp").isEmpty());
        QVERIFY(library.addCategory("empty"));

        const LibrarySnapshot snapshot = LibraryScanner::scan(library.libraryPath());
        QVERIFY2(snapshot.problems.isEmpty(), qPrintable(snapshot.problems.join('\n')));
        QCOMPARE(ids(snapshot), (QStringList{"empty", "forest", "sea"}));

        const LibraryCategory& sea = snapshot.categories.at(2);
        QCOMPARE(sea.name, QStringLiteral("Море"));
        QCOMPARE(sea.thumbnail, QStringLiteral("sea-1.png"));
        QCOMPARE(sea.dates.keys(), (QList<QDate>{mar1, mar3}));
        QCOMPARE(sea.dates.value(mar3), (QStringList{"sea-3a.bmp", "sea-3b.jpg"}));

        // Without category.json: the id names it, and the newest picture shows it.
        const LibraryCategory& forest = snapshot.categories.at(1);
        QCOMPARE(forest.name, QStringLiteral("forest"));
        QCOMPARE(forest.thumbnail, QStringLiteral("forest-5.webp"));
        QCOMPARE(snapshot.categories.at(0).thumbnail, QString());

        QCOMPARE(snapshot.pictures.size(), 4);
        QCOMPARE(snapshot.pictures.value("sea-3b.jpg").mimeType, QByteArray("image/jpeg"));
        QCOMPARE(snapshot.pictures.value("sea-1.png").mimeType, QByteArray("image/png"));
        QCOMPARE(snapshot.pictures.value("forest-5.webp").mimeType, QByteArray("image/webp"));
        QCOMPARE(snapshot.pictures.value("sea-3a.bmp").date, mar3);
        QCOMPARE(snapshot.pictures.value("sea-3a.bmp").categoryId, QStringLiteral("sea"));
        // Every folder whose listing matters is watched.
        QCOMPARE(snapshot.folders.size(), 1 + 3 + 3);
    }

    void strayEntriesAreSkipped()
    {
        ServiceFixture library;
        QVERIFY(!library.addImage("sea", mar1, "sea-1.png").isEmpty());
        QVERIFY(library.writeFile("README.txt", "stray file at the top"));
        QVERIFY(library.writeFile("sea/notes.txt", "stray file in a category"));
        QVERIFY(library.writeFile("sea/latest/x.png", "not a date"));
        QVERIFY(library.writeFile("sea/2026-13-01/x.png", "impossible date"));
        QVERIFY(library.writeFile("sea/2026-3-1/x.png", "short date"));
        QVERIFY(library.writeFile("sea/2026-03-01/nested/deep.png", "folder in a date"));
        QVERIFY(library.writeFile("sea/2026-03-01/notes.txt", "not a picture"));
        QVERIFY(library.writeFile("sea/2026-03-01/broken.jpg", "not an image at all"));
        QVERIFY(library.writeFile("sea/2026-03-01/empty.png", ""));
        QVERIFY(library.writeFile("sea/2026-03-01/.hidden.png", "ignored quietly"));
        QVERIFY(!library.addImage("sea", mar1, "nul.png").isEmpty());
        QVERIFY(!library.addImage("sea", mar1, "a#b.png").isEmpty());
        QVERIFY(!library.addImage("sea", mar1, "a%41.png").isEmpty());
        QVERIFY(library.writeFile("sea/2026-03-01/trailing.png ", ServiceFixture::encodedImage(QSize(4, 4), Qt::blue)));
        QVERIFY(!library.addImage("bad&id", mar1, "amp.png").isEmpty());
        QVERIFY(!library.addImage(".cache", mar1, "hidden.png").isEmpty());
        QVERIFY(!library.addImage("tide", mar3, "sea-1.png").isEmpty());
        QVERIFY(QFile::link(library.libraryPath() + "/sea/2026-03-01/sea-1.png",
                            library.libraryPath() + "/sea/2026-03-01/link.png"));
        QVERIFY(QFile::link(library.libraryPath() + "/sea", library.libraryPath() + "/linked"));
        QVERIFY(QFile::link(library.libraryPath() + "/sea/2026-03-01", library.libraryPath() + "/sea/2026-03-02"));
        QCOMPARE(::mkfifo(QFile::encodeName(library.libraryPath() + "/sea/2026-03-01/pipe.png").constData(), 0600), 0);

        const LibrarySnapshot snapshot = LibraryScanner::scan(library.libraryPath());
        QCOMPARE(ids(snapshot), (QStringList{"sea", "tide"}));
        QCOMPARE(snapshot.pictures.keys(), QStringList{"sea-1.png"});
        QCOMPARE(snapshot.pictures.value("sea-1.png").categoryId, QStringLiteral("sea"));
        QVERIFY(snapshot.categories.at(1).dates.isEmpty());

        for (const char* expected :
             {"README.txt:", "sea/notes.txt:", "sea/latest:", "sea/2026-13-01:", "sea/2026-3-1:",
              "sea/2026-03-01/nested:", "sea/2026-03-01/notes.txt:", "sea/2026-03-01/broken.jpg: unreadable",
              "sea/2026-03-01/empty.png: unreadable", "sea/2026-03-01/nul.png:", "sea/2026-03-01/a#b.png:",
              "sea/2026-03-01/a%41.png:", "sea/2026-03-01/trailing.png :", "bad&id:", "linked:",
              "sea/2026-03-01/link.png:", "sea/2026-03-02:", "sea/2026-03-01/pipe.png: not a regular",
              "tide/2026-03-03/sea-1.png: file name already published"})
            QVERIFY2(hasProblem(snapshot, QString::fromUtf8(expected)), expected);
        QVERIFY(!hasProblem(snapshot, ".cache"));
        QVERIFY(!hasProblem(snapshot, "sea/2026-03-01/.hidden.png"));
    }

    void unreadableImageIsSkipped()
    {
        if (geteuid() == 0)
            QSKIP("root reads every file");
        ServiceFixture library;
        const QString path = library.addImage("sea", mar1, "locked.png");
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        const LibrarySnapshot snapshot = LibraryScanner::scan(library.libraryPath());
        QVERIFY(snapshot.pictures.isEmpty());
        QVERIFY(hasProblem(snapshot, "sea/2026-03-01/locked.png: unreadable"));
    }

    void categoryJsonVariants_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("thumbnail");
        QTest::addColumn<bool>("problem");
        QTest::newRow("full") << QByteArray(R"({"name":" Море ","thumbnail":"b.png"})") << "Море"
                              << "b.png" << false;
        QTest::newRow("empty object") << QByteArray("{}") << "sea"
                                      << "a.png" << false;
        QTest::newRow("not JSON") << QByteArray("name: sea") << "sea"
                                  << "a.png" << true;
        QTest::newRow("array") << QByteArray(R"(["Море"])") << "sea"
                               << "a.png" << true;
        QTest::newRow("wrong types") << QByteArray(R"({"name":5,"thumbnail":true})") << "sea"
                                     << "a.png" << false;
        QTest::newRow("unknown thumbnail") << QByteArray(R"({"thumbnail":"zzz.png"})") << "sea"
                                           << "a.png" << true;
        QTest::newRow("thumbnail from elsewhere") << QByteArray(R"({"thumbnail":"other.png"})") << "sea"
                                                  << "other.png" << false;
        QTest::newRow("traversal thumbnail") << QByteArray(R"({"thumbnail":"../other/2026-03-05/other.png"})") << "sea"
                                             << "a.png" << true;
    }

    void categoryJsonVariants()
    {
        QFETCH(QByteArray, json);
        ServiceFixture library;
        QVERIFY(!library.addImage("sea", mar1, "b.png").isEmpty());
        QVERIFY(!library.addImage("sea", mar3, "a.png").isEmpty());
        QVERIFY(!library.addImage("other", mar5, "other.png").isEmpty());
        QVERIFY(library.writeFile("sea/category.json", json));
        const LibrarySnapshot snapshot = LibraryScanner::scan(library.libraryPath());
        const LibraryCategory& sea = snapshot.categories.at(1);
        QTEST(sea.name, "name");
        QTEST(sea.thumbnail, "thumbnail");
        QTEST(hasProblem(snapshot, "sea"), "problem");
    }

    // Never read through a link, never blocked by a FIFO, never more than the cap.
    void categoryJsonThatIsNotAPlainFile_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"link outside", "dangling link", "link to /dev/zero", "fifo", "too large"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void categoryJsonThatIsNotAPlainFile()
    {
        QFETCH(QString, kind);
        ServiceFixture library;
        QVERIFY(!library.addImage("sea", mar1, "a.png").isEmpty());
        const QString meta = library.libraryPath() + "/sea/category.json";
        const QString outside = library.libraryPath() + "/../outside.json";
        QFile secret(outside);
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write(R"({"name":"LEAKED"})");
        secret.close();
        if (kind == "link outside")
            QVERIFY(QFile::link(outside, meta));
        else if (kind == "dangling link")
            QVERIFY(QFile::link(outside + ".gone", meta));
        else if (kind == "link to /dev/zero")
            QVERIFY(QFile::link("/dev/zero", meta));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(meta).constData(), 0600), 0);
        else
            QVERIFY(library.writeFile("sea/category.json",
                                      R"({"name":"LEAKED","pad":")" + QByteArray(70 * 1024, 'x') + R"("})"));

        const LibrarySnapshot snapshot = LibraryScanner::scan(library.libraryPath());
        QCOMPARE(snapshot.categories.at(0).name, QStringLiteral("sea"));
        QVERIFY(hasProblem(snapshot, "sea/category.json: cannot read"));
    }

    void nearestPreviousDate_data()
    {
        QTest::addColumn<QDate>("asked");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("previous");
        QTest::newRow("latest date") << mar5 << QStringList{"c.png"} << "03/03/2026";
        QTest::newRow("gap") << QDate(2026, 3, 4) << QStringList() << "03/03/2026";
        QTest::newRow("earliest date") << mar1 << QStringList{"a.png"} << "";
        QTest::newRow("before everything") << QDate(2026, 2, 1) << QStringList() << "";
        QTest::newRow("future") << QDate(2027, 1, 1) << QStringList() << "05/03/2026";
        QTest::newRow("year boundary") << QDate(2026, 1, 1) << QStringList() << "";
    }

    void nearestPreviousDate()
    {
        QFETCH(QDate, asked);
        QFETCH(QStringList, files);
        QFETCH(QString, previous);
        ServiceFixture library;
        QVERIFY(!library.addImage("sea", mar1, "a.png").isEmpty());
        QVERIFY(!library.addImage("sea", mar3, "b.png").isEmpty());
        QVERIFY(!library.addImage("sea", mar5, "c.png").isEmpty());
        // A date folder left without pictures does not count as a date with wallpapers.
        QVERIFY(QDir(library.libraryPath()).mkpath("sea/2026-03-04"));
        Catalogue catalogue;
        catalogue.update(LibraryScanner::scan(library.libraryPath()), 1000);

        const std::optional<QJsonObject> reply = catalogue.wallpapersReply("sea", asked);
        QVERIFY(reply);
        QVERIFY(reply->value("success").toBool());
        QStringList names;
        for (const QJsonValue& entry : reply->value("data").toArray())
            names << entry.toObject().value("filename").toString();
        QCOMPARE(names, files);
        QCOMPARE(reply->value("nearest_previous_date").toString(), previous);
        QVERIFY(!catalogue.wallpapersReply("Sea", asked));
    }

    void timestampFollowsTheCategoryList()
    {
        ServiceFixture library;
        QVERIFY(!library.addImage("sea", mar1, "a.png").isEmpty());
        Catalogue catalogue;
        catalogue.update(LibraryScanner::scan(library.libraryPath()), 5000);
        QCOMPARE(catalogue.timestamp(), qint64(5000));
        const QJsonObject reply = QJsonDocument::fromJson(catalogue.categoriesReply()).object();
        QCOMPARE(reply.value("timestamp").toInteger(), qint64(5000));
        QVERIFY(reply.value("success").toBool());

        // Same list: same stamp, whatever the clock says.
        catalogue.update(LibraryScanner::scan(library.libraryPath()), 9000);
        QCOMPARE(catalogue.timestamp(), qint64(5000));
        // An older picture does not change what the list shows.
        QVERIFY(!library.addImage("sea", QDate(2026, 2, 1), "old.png").isEmpty());
        catalogue.update(LibraryScanner::scan(library.libraryPath()), 9000);
        QCOMPARE(catalogue.timestamp(), qint64(5000));

        // A new category moves it forward, even when the clock went back.
        QVERIFY(library.addCategory("forest"));
        catalogue.update(LibraryScanner::scan(library.libraryPath()), 100);
        QCOMPARE(catalogue.timestamp(), qint64(5001));
        // A newer picture changes the thumbnail, hence the list.
        QVERIFY(!library.addImage("sea", mar5, "new.png").isEmpty());
        catalogue.update(LibraryScanner::scan(library.libraryPath()), 7000);
        QCOMPARE(catalogue.timestamp(), qint64(7000));
        QVERIFY(catalogue.categoriesReply().contains("new.png"));
    }

    void demoLibrary()
    {
        QTemporaryDir folder;
        const QString root = folder.path() + "/demo";
        QVERIFY(DemoLibrary::isEmpty(root));
        DemoOptions options;
        QCOMPARE(options.pictureSize, QSize(2560, 1440));
        QCOMPARE(options.days, 14);
        options.pictureSize = QSize(96, 54);
        options.days = 4;
        options.today = mar5;
        QString error;
        QVERIFY2(DemoLibrary::generate(root, options, &error), qPrintable(error));

        const LibrarySnapshot snapshot = LibraryScanner::scan(root);
        QVERIFY2(snapshot.problems.isEmpty(), qPrintable(snapshot.problems.join('\n')));
        QVERIFY(snapshot.categories.size() >= 4);
        bool someCategoryWaits = false;
        for (const LibraryCategory& category : snapshot.categories) {
            QVERIFY(category.name != category.id);
            QVERIFY(snapshot.pictures.contains(category.thumbnail));
            QVERIFY(!category.dates.isEmpty());
            QVERIFY(category.dates.firstKey() >= mar5.addDays(-3));
            QVERIFY(category.dates.lastKey() <= mar5);
            someCategoryWaits |= !category.dates.contains(mar5);
            for (const QStringList& names : category.dates)
                QVERIFY(names.size() >= 2);
        }
        // One category has nothing today, so the program walks back to its latest date.
        QVERIFY(someCategoryWaits);
        const LibraryPicture picture = snapshot.pictures.begin().value();
        QCOMPARE(QImageReader(picture.path).size(), QSize(96, 54));

        // Something already there is never overwritten.
        QVERIFY(!DemoLibrary::isEmpty(root));
        QVERIFY(!DemoLibrary::generate(root, options, &error));
        QVERIFY(error.contains("not empty"));
        QCOMPARE(LibraryScanner::scan(root).pictures.size(), snapshot.pictures.size());
        // Hidden leftovers alone do not make a library.
        const QString hiddenOnly = folder.path() + "/hidden";
        QVERIFY(QDir().mkpath(hiddenOnly + "/.mini"));
        QVERIFY(DemoLibrary::isEmpty(hiddenOnly));
    }

    void demoPicturesDifferAndRepeat()
    {
        const QSize size(160, 90);
        const QImage a = DemoLibrary::paint(DemoLibrary::Style::Mountains, size, 1);
        QCOMPARE(a.size(), size);
        QCOMPARE(DemoLibrary::paint(DemoLibrary::Style::Mountains, size, 1), a);
        QVERIFY(DemoLibrary::paint(DemoLibrary::Style::Mountains, size, 2) != a);
        QVERIFY(DemoLibrary::paint(DemoLibrary::Style::Space, size, 1) != a);
    }

    void watcherSeesNewEntriesOnce()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath("a/b"));
        LibraryWatcher watcher;
        watcher.setDelay(50);
        QSignalSpy changed(&watcher, &LibraryWatcher::changed);
        QCOMPARE(watcher.watch({folder.path(), folder.path() + "/a/b", folder.path() + "/missing"}),
                 QStringList{folder.path() + "/missing"});

        QVERIFY(QDir(folder.path()).mkpath("a/b/2026-03-05"));
        for (int i = 0; i < 5; ++i)
            QVERIFY(QFile(folder.path() + QStringLiteral("/new-%1").arg(i)).open(QIODevice::WriteOnly));
        QTRY_VERIFY(changed.count() >= 1);

        // Watching a new set drops what left it.
        watcher.watch({folder.path() + "/a/b"});
        QCOMPARE(watcher.watchedFolders(), QStringList{folder.path() + "/a/b"});

        changed.clear();
        watcher.poke();
        watcher.poke();
        watcher.poke();
        QTRY_COMPARE(changed.count(), 1);
    }
};

VELMORA_TEST_MAIN(TestServiceLibrary)
#include "test_service_library.moc"
