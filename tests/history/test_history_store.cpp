#include "history_fixture.h"
#include "test_main.h"
#include "test_screens.h"

#include "core/history_filing.h"
#include "core/history_merge.h"
#include "core/recent_files.h"

#include <QComboBox>

namespace {

QString settingsGroupText()
{
    QSettings settings(QStringLiteral("Velmora"), QStringLiteral("WallpaperSettings"));
    settings.beginGroup(QStringLiteral("ScreenHistory"));
    QStringList parts;
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys)
        parts << key + "=" + settings.value(key).toString();
    parts.sort();
    return parts.join(QLatin1Char(';'));
}

QString download(const QString& name)
{
    const QString path = tempDir() + "/" + name;
    writeFile(path, name.toUtf8());
    return path;
}

HistoryEntry entry(const QString& file, const QDateTime& when, int screen)
{
    return HistoryEntry{file, when, screen, QStringLiteral("Manuel"), QStringLiteral("Remplir")};
}

QStringList names(const QList<HistoryEntry>& entries)
{
    QStringList result;
    for (const HistoryEntry& e : entries)
        result << e.filename + "@" + QString::number(e.screenIndex);
    return result;
}

} // namespace

// Recording changes, the recent-files lists in memory and in the settings,
// the history-directory trim and the merged history.
class TestHistoryStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { wipeStorage(); }
    void cleanup() { TestScreens::apply({{"A", 0, 0, 1920, 1080, 1.0}}); }

    void recordingFilesLogsListsAndSaves()
    {
        auto w = makeHistoryWindow();
        const QString folder = wallpapersDir() + "/" + w->screenId(0);
        QVERIFY(!w->selector()->canScreenBeDeselected(0));
        w->selectedPath() = "picked";
        w->selectedScreen() = 0;
        w->scrollOffset() = 3;

        const QString source = download("a.jpg");
        w->add(0, source, QStringLiteral("Démarrage"));

        QVERIFY(!QFileInfo::exists(source));
        QCOMPARE(fileNames(folder), QStringList{"a.jpg"});
        QCOMPARE(w->lists().value(0), QList<QString>{folder + "/a.jpg"});
        QVERIFY(readFile(historyDir() + "/" + w->screenId(0) + ".log").endsWith("] [a.jpg] [Démarrage] [Remplir]\n"));
        QCOMPARE(settingsGroupText(), "Screen0/1/imagePath=" + folder + "/a.jpg;Screen0/size=1");
        QCOMPARE(names(w->entries()), QStringList{"a.jpg@0"});
        QVERIFY(w->selectedPath().isEmpty());
        QCOMPARE(w->selectedScreen(), -1);
        QCOMPARE(w->scrollOffset(), 0);
        QVERIFY(w->selector()->canScreenBeDeselected(0));

        // The next change leaves only its own file in the folder.
        w->add(0, download("b.jpg"), "Manuel");
        QCOMPARE(fileNames(folder), QStringList{"b.jpg"});
        QCOMPARE(w->lists().value(0), (QList<QString>{folder + "/b.jpg", folder + "/a.jpg"}));
        QCOMPARE(names(w->entries()).size(), 2);
    }

    void adjustmentWordFollowsTheCombo_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("word");
        QTest::newRow("no combo") << -2 << "Remplir";
        QTest::newRow("fit") << 1 << "Ajuster";
        QTest::newRow("tile") << 4 << QStringLiteral("Mosaïque");
        QTest::newRow("past the list") << 5 << "Remplir";
    }

    void adjustmentWordFollowsTheCombo()
    {
        QFETCH(int, position);
        QFETCH(QString, word);
        auto w = makeHistoryWindow();
        QComboBox combo;
        if (position != -2) {
            for (int i = 0; i < 6; ++i)
                combo.addItem(QString::number(i));
            combo.setCurrentIndex(position);
            w->adjustmentCombo() = &combo;
        }
        w->add(0, download("a.jpg"), "Manuel");
        w->adjustmentCombo() = nullptr;
        QVERIFY(readFile(historyDir() + "/" + w->screenId(0) + ".log")
                    .endsWith(QByteArray("[Manuel] [" + word.toUtf8() + "]\n")));
    }

    // Both screens of one download get it, though the first moves it out of
    // the temporary folder; a dangling link at a filed place is replaced, never written through.
    void oneDownloadFiledForTwoScreens()
    {
        const QString outside = tempDir() + "/../outside.jpg";
        QDir().mkpath(wallpapersDir() + "/B");
        QVERIFY(QFile::link(outside, wallpapersDir() + "/B/a.jpg"));
        const QString source = download("a.jpg");
        QList<FilingRequest> requests;
        for (const char* id : {"A", "B"})
            requests.append({0, source, wallpapersDir() + "/" + id, historyDir() + "/" + id + ".log", "line\n"});

        const QList<QString> filed = fileChangedPictures(requests, tempDir());
        QCOMPARE(filed, (QList<QString>{wallpapersDir() + "/A/a.jpg", wallpapersDir() + "/B/a.jpg"}));
        QVERIFY(!QFileInfo::exists(source));
        QVERIFY(!QFileInfo(filed[1]).isSymLink());
        QCOMPARE(readFile(filed[1]), QByteArray("a.jpg"));
        QVERIFY(!QFileInfo::exists(outside));
        QCOMPARE(readFile(historyDir() + "/B.log"), QByteArray("line\n"));
    }

    void failedRecordingChangesNothing()
    {
        auto w = makeHistoryWindow();
        w->add(-1, download("a.jpg"), "Manuel");
        w->add(0, tempDir() + "/missing.jpg", "Manuel");
        QVERIFY(QFileInfo::exists(tempDir() + "/a.jpg"));
        QVERIFY(fileNames(historyDir()).isEmpty());
        QVERIFY(w->lists().isEmpty());
        QCOMPARE(settingsGroupText(), QString());
        QVERIFY(!w->selector()->canScreenBeDeselected(0));
    }

    void ninthChangeDropsTheOldest()
    {
        auto w = makeHistoryWindow();
        const QString folder = wallpapersDir() + "/" + w->screenId(0);
        for (int i = 1; i <= 9; ++i)
            w->add(0, download(QStringLiteral("img%1.jpg").arg(i)), "Automatique");
        const QList<QString> list = w->lists().value(0);
        QCOMPARE(list.size(), 8);
        QCOMPARE(list.first(), folder + "/img9.jpg");
        QCOMPARE(list.last(), folder + "/img2.jpg");
        QCOMPARE(fileNames(folder), QStringList{"img9.jpg"});
        QCOMPARE(readFile(historyDir() + "/" + w->screenId(0) + ".log").count('\n'), 9);
    }

    void droppedFileSharedWithAnotherScreenStays()
    {
        // Lists loaded after the monitors moved can point into another folder.
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}});
        auto w = makeHistoryWindow();
        const QString old = wallpapersDir() + "/Gone-0-1/";
        QList<QString> list;
        for (int i = 0; i < 8; ++i) {
            QVERIFY(writeFile(old + QString::number(i) + ".jpg", "img"));
            list << old + QString::number(i) + ".jpg";
        }
        w->lists()[0] = list;
        w->lists()[1] = {old + "7.jpg"};

        w->add(0, download("new1.jpg"), "Manuel");
        QVERIFY(QFileInfo::exists(old + "7.jpg"));
        QCOMPARE(w->lists().value(0).size(), 8);
        w->add(0, download("new2.jpg"), "Manuel");
        QVERIFY(!QFileInfo::exists(old + "6.jpg"));
        QVERIFY(QFileInfo::exists(old + "5.jpg"));

        // A path held twice in its own list is still in use.
        w->lists()[0] = {old + "5.jpg", old + "5.jpg"};
        w->removeUnused(old + "4.jpg");
        QVERIFY(!QFileInfo::exists(old + "4.jpg"));
        w->removeUnused(old + "5.jpg");
        QVERIFY(QFileInfo::exists(old + "5.jpg"));
    }

    void onlyFiledCopiesAreEverDeleted()
    {
        auto w = makeHistoryWindow();
        const QString outside = TestEnvironment::root() + "/home/document.jpg";
        QVERIFY(writeFile(outside, "mine"));
        w->removeUnused(outside);
        w->removeUnused(wallpapersDir() + "/../" + QFileInfo(outside).fileName());
        QVERIFY(QFileInfo::exists(outside));
    }

    void historyDirectoryTrim()
    {
        auto w = makeHistoryWindow();
        const QDateTime base = QDateTime::currentDateTime().addDays(-1);
        const qint64 mib = 1024 * 1024;
        for (int i = 0; i < 3; ++i) {
            const QString path = historyDir() + QStringLiteral("/log%1.log").arg(i);
            QVERIFY(writeFile(path, QByteArray(mib, 'x')));
            setModified(path, base.addSecs(i * 60));
        }
        w->trimHistory();
        QCOMPARE(fileNames(historyDir()).size(), 3);

        // One byte past 3 MiB: the least recently written log goes, and only it.
        QVERIFY(writeFile(historyDir() + "/new.log", "x"));
        setModified(historyDir() + "/new.log", base.addSecs(600));
        w->trimHistory();
        QCOMPARE(fileNames(historyDir()), (QStringList{"log1.log", "log2.log", "new.log"}));

        // A listed path is passed over.
        QVERIFY(writeFile(historyDir() + "/old.log", QByteArray(mib, 'x')));
        setModified(historyDir() + "/old.log", base.addSecs(-60));
        w->lists()[0] = {historyDir() + "/old.log"};
        w->trimHistory();
        QCOMPARE(fileNames(historyDir()), (QStringList{"log2.log", "new.log", "old.log"}));
    }

    void settingsRoundTrip()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", 3200, 0, 800, 600}});
        QString idB;
        QString idC;
        {
            auto w = makeHistoryWindow();
            idB = w->screenId(1);
            idC = w->screenId(2);
            w->lists()[1] = {wallpapersDir() + "/" + idB + "/b.jpg", wallpapersDir() + "/" + idB + "/gone.jpg"};
            w->lists()[2] = {};
            w->lists()[4] = {wallpapersDir() + "/Other-1-2/c.jpg"};
            w->save();
        }
        QCOMPARE(settingsGroupText(), "Screen1/1/imagePath=" + wallpapersDir() + "/" + idB + "/b.jpg;" +
                                          "Screen1/2/imagePath=" + wallpapersDir() + "/" + idB + "/gone.jpg;" +
                                          "Screen1/size=2;Screen2/size=0;" + "Screen4/1/imagePath=" + wallpapersDir() +
                                          "/Other-1-2/c.jpg;Screen4/size=1");

        QVERIFY(writeFile(wallpapersDir() + "/" + idB + "/b.jpg", "img"));
        QVERIFY(writeFile(wallpapersDir() + "/Other-1-2/c.jpg", "img"));
        QVERIFY(writeFile(historyDir() + "/" + idB + ".log", "[2026-03-05 14:07:09] [b.jpg] [Manuel] [Remplir]\n"));
        QVERIFY(writeFile(historyDir() + "/" + idC + ".log", "\n"));
        const QString outside = TestEnvironment::root() + "/home/document.jpg";
        QVERIFY(writeFile(outside, "mine"));
        {
            QSettings settings(QStringLiteral("Velmora"), QStringLiteral("WallpaperSettings"));
            settings.beginGroup(QStringLiteral("ScreenHistory"));
            settings.beginWriteArray(QStringLiteral("ScreenAbc"));
            settings.setArrayIndex(0);
            settings.setValue(QStringLiteral("imagePath"), QString(wallpapersDir() + "/" + idB + "/b.jpg"));
            settings.endArray();
            settings.beginWriteArray(QStringLiteral("Screen0"));
            settings.setArrayIndex(0);
            settings.setValue(QStringLiteral("imagePath"), outside);
            settings.setArrayIndex(1);
            settings.setValue(QStringLiteral("imagePath"), QString(wallpapersDir() + "/../history/" + idB + ".log"));
            settings.endArray();
        }

        auto w = makeHistoryWindow();
        w->lists()[3] = {"kept"};
        w->load();
        QCOMPARE(w->lists().keys(), (QList<int>{1, 3, 4}));
        QCOMPARE(w->lists().value(1), QList<QString>{wallpapersDir() + "/" + idB + "/b.jpg"});
        QCOMPARE(w->lists().value(4), QList<QString>{wallpapersDir() + "/Other-1-2/c.jpg"});
        QVERIFY(!w->selector()->canScreenBeDeselected(0));
        QVERIFY(w->selector()->canScreenBeDeselected(1));
        QVERIFY(!w->selector()->canScreenBeDeselected(2));
    }

    void storedSizeIsCappedAtWhatAListKeeps_data()
    {
        QTest::addColumn<int>("storedSize");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("kept");
        QTest::newRow("more entries than a list keeps") << 10 << 10 << RecentFiles::maxEntries;
        QTest::newRow("a damaged size") << 2000000000 << 3 << 3;
    }

    // A size read as it stands would have the start-up ask for two billion keys.
    void storedSizeIsCappedAtWhatAListKeeps()
    {
        QFETCH(int, storedSize);
        QFETCH(int, written);
        QFETCH(int, kept);
        QStringList paths;
        QSettings settings(QStringLiteral("Velmora"), QStringLiteral("WallpaperSettings"));
        settings.beginGroup(QStringLiteral("ScreenHistory"));
        settings.beginWriteArray(QStringLiteral("Screen0"));
        for (int i = 0; i < written; ++i) {
            paths << wallpapersDir() + "/Other-1-2/" + QString::number(i) + ".jpg";
            QVERIFY(writeFile(paths.last(), "img"));
            settings.setArrayIndex(i);
            settings.setValue(QStringLiteral("imagePath"), paths.last());
        }
        settings.endArray();
        settings.setValue(QStringLiteral("Screen0/size"), storedSize);
        settings.endGroup();

        const RecentFiles::Loaded loaded = RecentFiles::load(settings, wallpapersDir());
        QCOMPARE(loaded.lists.value(0), paths.first(kept));
    }

    void mergeOrderAndNeighbours()
    {
        const QDateTime t(QDate(2026, 3, 5), QTime(12, 0));
        const QList<HistoryEntry> merged = mergeHistoryEntries({
            entry("a.jpg", t, 0), entry("b.jpg", t.addSecs(10), 0),
            entry("b.jpg", t.addSecs(20), 0), // same file twice in a row on one monitor
            entry("c.jpg", t.addSecs(30), 0), entry("a.jpg", t.addSecs(40), 0), // again, after others
            entry("x.jpg", QDateTime(), 0),                                     // unreadable time stamp
            entry("d.jpg", t.addSecs(30), 1),                                   // equal time on another monitor
            entry("e.jpg", t.addSecs(50), 1), entry("e.jpg", t.addSecs(50), 2), // same file, same second, other monitor
        });
        QCOMPARE(names(merged),
                 (QStringList{"e.jpg@1", "a.jpg@0", "c.jpg@0", "d.jpg@1", "b.jpg@0", "a.jpg@0", "x.jpg@0"}));
        QVERIFY(entry("n", t.addSecs(1), 0) < entry("o", t, 0));
        QVERIFY(!(entry("o", t, 0) < entry("n", t.addSecs(1), 0)));
        QVERIFY(entry("o", t, 0) < entry("x", QDateTime(), 0));
        QVERIFY(!(entry("x", QDateTime(), 0) < entry("o", t, 0)));
    }

    void windowMergesTheLogsOfItsScreens()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}});
        auto w = makeHistoryWindow();
        QVERIFY(writeFile(historyDir() + "/" + w->screenId(0) + ".log",
                          "[2026-03-05 10:00:00] [a.jpg] [Manuel] [Remplir]\r\n"
                          "[2026-03-05 12:00:00] [b.jpg] [Automatique] [Ajuster]\r\n"));
        QVERIFY(writeFile(historyDir() + "/" + w->screenId(1) + ".log",
                          "[2026-03-05 11:00:00] [c.jpg] [Historique] [Remplir]\n"
                          "broken line\n"
                          "[2026-03-05 12:00:00] [b.jpg] [Manuel] [Remplir]\n"));
        QVERIFY(writeFile(historyDir() + "/Elsewhere-0-1.log", "[2026-03-05 13:00:00] [z.jpg] [Manuel] [Remplir]\n"));

        const QList<HistoryEntry> merged = w->merged();
        QCOMPARE(merged.size(), 3);
        QCOMPARE(merged[0].filename, QStringLiteral("b.jpg"));
        QCOMPARE(merged[1].filename, QStringLiteral("c.jpg"));
        QCOMPARE(merged[1].screenIndex, 1);
        QCOMPARE(merged[1].triggerMode, QStringLiteral("Historique"));
        QCOMPARE(merged[2].filename, QStringLiteral("a.jpg"));
        QCOMPARE(merged[2].timestamp, QDateTime(QDate(2026, 3, 5), QTime(10, 0)));

        // Without a screen picker only the first screen's log is read.
        ScreenSelector* selector = w->selector();
        w->selector() = nullptr;
        QCOMPARE(names(w->merged()), (QStringList{"b.jpg@0", "a.jpg@0"}));
        w->selector() = selector;
    }
};

VELMORA_TEST_MAIN(TestHistoryStore)
#include "test_history_store.moc"
