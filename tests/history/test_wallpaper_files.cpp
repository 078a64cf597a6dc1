#include "history_fixture.h"
#include "test_main.h"
#include "test_screens.h"

namespace {

QString thumbnailsDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/thumbnails";
}

} // namespace

// Filing applied images per monitor and the clean-ups of the wallpaper,
// temporary and thumbnail folders.
class TestWallpaperFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { wipeStorage(); }
    void cleanup() { TestScreens::apply({{"A", 0, 0, 1920, 1080, 1.0}}); }

    void filingMovesDownloadsAndCopiesTheRest()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}});
        auto w = makeHistoryWindow();
        const QString folder0 = wallpapersDir() + "/" + w->screenId(0);
        const QString folder1 = wallpapersDir() + "/" + w->screenId(1);

        QVERIFY(writeFile(tempDir() + "/a.jpg", "download"));
        QCOMPARE(w->file(tempDir() + "/a.jpg", 0), folder0 + "/a.jpg");
        QVERIFY(!QFileInfo::exists(tempDir() + "/a.jpg"));
        QCOMPARE(readFile(folder0 + "/a.jpg"), QByteArray("download"));

        // Screen 0's current wallpaper filed for screen 1: copied, the source stays.
        QCOMPARE(w->file(folder0 + "/a.jpg", 1), folder1 + "/a.jpg");
        QCOMPARE(readFile(folder0 + "/a.jpg"), QByteArray("download"));
        QCOMPARE(readFile(folder1 + "/a.jpg"), QByteArray("download"));

        // A file of the same name from elsewhere replaces the filed one.
        const QString other = TestEnvironment::root() + "/home/pictures/a.jpg";
        QVERIFY(writeFile(other, "other"));
        QCOMPARE(w->file(other, 1), folder1 + "/a.jpg");
        QCOMPARE(readFile(folder1 + "/a.jpg"), QByteArray("other"));
        QVERIFY(QFileInfo::exists(other));

        // A file already in the monitor's folder stays untouched.
        const QDateTime stamp = QDateTime::currentDateTime().addDays(-2);
        setModified(folder1 + "/a.jpg", stamp);
        QCOMPARE(w->file(folder1 + "/a.jpg", 1), folder1 + "/a.jpg");
        QCOMPARE(readFile(folder1 + "/a.jpg"), QByteArray("other"));
        QCOMPARE(QFileInfo(folder1 + "/a.jpg").lastModified(), stamp);
    }

    void filingFailures()
    {
        auto w = makeHistoryWindow();
        QCOMPARE(w->file(tempDir() + "/missing.jpg", 0), QString());
        QVERIFY(writeFile(tempDir() + "/sub/x.jpg", "x"));
        QCOMPARE(w->file(tempDir() + "/sub/..", 0), QString());
        QCOMPARE(w->file(tempDir() + "/sub/", 0), QString());
        QVERIFY(QFileInfo::exists(tempDir() + "/sub/x.jpg"));
    }

    void onlyTheTemporaryFolderItselfIsEmptied()
    {
        // A neighbour whose name merely begins like the temporary folder is not it.
        auto w = makeHistoryWindow();
        const QString sibling = tempDir() + "2/b.jpg";
        QVERIFY(writeFile(sibling, "keep"));
        QVERIFY(!w->file(sibling, 0).isEmpty());
        QVERIFY(QFileInfo::exists(sibling));
    }

    void oldWallpapersOfOneScreen()
    {
        auto w = makeHistoryWindow();
        const QString folder = wallpapersDir() + "/" + w->screenId(0);
        for (const char* name : {"a.jpg", "b.png", "c.bmp"})
            QVERIFY(writeFile(folder + "/" + name, "img"));
        QVERIFY(writeFile(folder + "/.hidden", "img"));
        QDir().mkpath(folder + "/sub");
        w->cleanupOld(0, folder + "/b.png");
        QCOMPARE(fileNames(folder), QStringList{"b.png"});
        QVERIFY(QFileInfo::exists(folder + "/.hidden"));
        QVERIFY(QFileInfo(folder + "/sub").isDir());
        w->cleanupOld(0, folder + "/B.png");
        QVERIFY(fileNames(folder).isEmpty());
    }

    void allScreensAtStartUp()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", 3200, 0, 800, 600}});
        QString ids[3];
        {
            auto w = makeHistoryWindow();
            for (int i = 0; i < 3; ++i)
                ids[i] = w->screenId(i);
        }
        const QString line = "[2026-03-05 14:07:09] [cur.jpg] [Manuel] [Remplir]\n";
        // Screen 0: its logged file was deleted by hand. Screen 1: a stray folder, no log.
        // Screen 2: current file and leftovers. A monitor not connected now: left alone.
        QVERIFY(writeFile(historyDir() + "/" + ids[0] + ".log", line.toUtf8()));
        QVERIFY(writeFile(wallpapersDir() + "/" + ids[0] + "/other.jpg", "img"));
        QVERIFY(writeFile(wallpapersDir() + "/" + ids[1] + "/stray.jpg", "img"));
        QVERIFY(writeFile(historyDir() + "/" + ids[2] + ".log", line.toUtf8()));
        QVERIFY(writeFile(wallpapersDir() + "/" + ids[2] + "/cur.jpg", "img"));
        QVERIFY(writeFile(wallpapersDir() + "/" + ids[2] + "/old.jpg", "img"));
        QVERIFY(writeFile(wallpapersDir() + "/Away-0-3/x.jpg", "img"));
        QVERIFY(writeFile(tempDir() + "/old.png", "img"));

        auto w = makeHistoryWindow(); // the constructor runs the start-up clean-ups
        QVERIFY(!QFileInfo::exists(wallpapersDir() + "/" + ids[0]));
        QVERIFY(!QFileInfo::exists(wallpapersDir() + "/" + ids[1]));
        QCOMPARE(fileNames(wallpapersDir() + "/" + ids[2]), QStringList{"cur.jpg"});
        QCOMPARE(fileNames(wallpapersDir() + "/Away-0-3"), QStringList{"x.jpg"});
        QVERIFY(!QFileInfo::exists(tempDir() + "/old.png"));
    }

    void temporaryFolder()
    {
        auto w = makeHistoryWindow();
        for (const char* name : {"composite_wallpaper.bmp", "old.png", "X.BMP", "wallpaper_screen0_123.jpg",
                                 "Composite_Wallpaper.bmp", "a_screen1.bmp"})
            QVERIFY(writeFile(tempDir() + "/" + name, "img"));
        w->cleanupTemporary();
        QCOMPARE(fileNames(tempDir()), (QStringList{"composite_wallpaper.bmp", "wallpaper_screen0_123.jpg"}));

        const QString folder = tempDir();
        QDir(folder).removeRecursively();
        w->cleanupTemporary();
        QVERIFY(!QFileInfo::exists(folder));
    }

    void thumbnailCache_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("kept");
        QTest::newRow("100") << 100 << 100;
        QTest::newRow("101") << 101 << 100;
        QTest::newRow("103") << 103 << 100;
        QTest::newRow("3") << 3 << 3;
    }

    void thumbnailCache()
    {
        QFETCH(int, count);
        QFETCH(int, kept);
        auto w = makeHistoryWindow();
        const QDateTime base = QDateTime::currentDateTime().addDays(-1);
        for (int i = 0; i < count; ++i) {
            const QString path = thumbnailsDir() + QStringLiteral("/t%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
            QVERIFY(writeFile(path, "t"));
            setModified(path, base.addSecs(i));
        }
        w->cleanupThumbnails();
        const QStringList left = fileNames(thumbnailsDir());
        QCOMPARE(left.size(), kept);
        // The oldest go first.
        QCOMPARE(left.first(), QStringLiteral("t%1.jpg").arg(count - kept, 3, 10, QLatin1Char('0')));
    }

    void missingThumbnailCacheIsNotCreated()
    {
        auto w = makeHistoryWindow();
        QDir(thumbnailsDir()).removeRecursively();
        w->cleanupThumbnails();
        QVERIFY(!QFileInfo::exists(thumbnailsDir()));
    }
};

VELMORA_TEST_MAIN(TestWallpaperFiles)
#include "test_wallpaper_files.moc"
