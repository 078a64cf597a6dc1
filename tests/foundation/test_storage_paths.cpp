#include "test_main.h"

#include "utils/date_helper.h"
#include "utils/path_helper.h"
#include "utils/utils.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

class TestStoragePaths : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void directoriesAreCreatedAndStable_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("expected");
        const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        QTest::newRow("wallpapers") << "wallpapers" << config + "/wallpapers";
        QTest::newRow("history") << "history" << config + "/history";
        QTest::newRow("thumbnails") << "thumbnails" << cache + "/thumbnails";
    }

    void directoriesAreCreatedAndStable()
    {
        QFETCH(QString, which);
        QFETCH(QString, expected);
        auto get = [&] {
            if (which == QLatin1String("wallpapers"))
                return PathHelper::getWallpapersDirectory();
            if (which == QLatin1String("history"))
                return PathHelper::getHistoryDirectory();
            return PathHelper::getThumbnailsCacheDirectory();
        };
        // Under the temporary home; on Windows, whose user folders follow no
        // variable, in Qt's test-mode folders (of a wine prefix of the test's own).
        QVERIFY(expected.startsWith(TestEnvironment::root()) || expected.contains(QLatin1String("/qttest")));
        QDir(expected).removeRecursively();
        const QString first = get();
        QCOMPARE(first, expected);
        QVERIFY(QFileInfo(first).isDir());
        QVERIFY(!first.endsWith(QLatin1Char('/')));
        QCOMPARE(get(), first);
    }

    void cacheFileCreatesOnlyItsFolder()
    {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        QDir(cache).removeRecursively();
        const QString path = PathHelper::getCategoriesCachePath();
        QCOMPARE(path, cache + "/categories_cache.json");
        QVERIFY(QFileInfo(cache).isDir());
        QVERIFY(!QFileInfo::exists(path));
    }

    void uncreatableDirectoryStillYieldsItsPath()
    {
        // A file where the config folder should be: mkpath fails, the path comes back.
        const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir(config).removeRecursively();
        QDir().mkpath(QFileInfo(config).path());
        QFile blocker(config);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString path = PathHelper::getHistoryDirectory();
        QCOMPARE(path, config + "/history");
        QVERIFY(!QFileInfo(path).isDir());
        QVERIFY(QFile::remove(config));
    }

    void imagePathIsBesideTheExecutable()
    {
        QCOMPARE(getImagePath("icon.png"), QCoreApplication::applicationDirPath() + "/icon.png");
    }

    void datesAcrossBoundaries_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("daysBack");
        QTest::addColumn<QString>("expected");
        QTest::newRow("same day") << QDate(2026, 3, 5) << 0 << "05/03/2026";
        QTest::newRow("month end, non-leap") << QDate(2026, 3, 1) << 1 << "28/02/2026";
        QTest::newRow("month end, leap") << QDate(2028, 3, 1) << 1 << "29/02/2028";
        QTest::newRow("thirty-day month") << QDate(2026, 5, 1) << 1 << "30/04/2026";
        QTest::newRow("year end") << QDate(2027, 1, 1) << 1 << "31/12/2026";
        QTest::newRow("a year back") << QDate(2027, 1, 1) << 365 << "01/01/2026";
        QTest::newRow("negative is later") << QDate(2026, 12, 31) << -1 << "01/01/2027";
    }

    void datesAcrossBoundaries()
    {
        QFETCH(QDate, today);
        QFETCH(int, daysBack);
        QFETCH(QString, expected);
        QCOMPARE(DateHelper::dateStringBefore(today, daysBack), expected);
    }

    void dateStringsReadBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("valid") << "05/03/2026" << QDate(2026, 3, 5);
        QTest::newRow("leap day") << "29/02/2028" << QDate(2028, 2, 29);
        QTest::newRow("no such day") << "29/02/2026" << QDate();
        QTest::newRow("other order") << "2026-03-05" << QDate();
        QTest::newRow("encoded") << "05%2F03%2F2026" << QDate();
        QTest::newRow("empty") << "" << QDate();
    }

    void dateStringsReadBack()
    {
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        QCOMPARE(DateHelper::parseDate(text), expected);
    }
};

VELMORA_TEST_MAIN(TestStoragePaths)
#include "test_storage_paths.moc"
