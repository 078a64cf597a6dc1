#include "service_fixture.h"
#include "test_main.h"

#include "catalogue.h"
#include "library_index.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

const QDate mar3(2026, 3, 3);
const QDate mar5(2026, 3, 5);
using Listing = QMap<QString, QMap<QDate, QStringList>>;

// The library as a plain walk sees it: every category, every date with
// pictures, each name published by the first folder holding it.
Listing straightListing(const QString& root)
{
    Listing listing;
    QSet<QString> seen;
    const QDir::Filters folders = QDir::Dirs | QDir::NoDotAndDotDot;
    for (const QString& category : QDir(root).entryList(folders, QDir::Name)) {
        QMap<QDate, QStringList>& dates = listing[category];
        for (const QString& folder : QDir(root + '/' + category).entryList(folders, QDir::Name)) {
            for (const QString& name : QDir(root + '/' + category + '/' + folder).entryList({"*.jpg"}, QDir::Files)) {
                if (!seen.contains(name)) {
                    seen.insert(name);
                    dates[QDate::fromString(folder, Qt::ISODate)] << name;
                }
            }
        }
    }
    return listing;
}

Listing indexListing(const LibraryIndex& index)
{
    Listing listing;
    for (const LibraryCategory& category : index.snapshot().categories)
        listing[category.id] = category.dates;
    return listing;
}

QStringList filenames(const ServiceFixture::Reply& reply)
{
    QStringList names;
    for (const QJsonValue& entry : reply.json().value("data").toArray())
        names << entry.toObject().value("filename").toString();
    return names;
}

} // namespace

// The service's index kept folder by folder: it must always equal a whole
// reading of the library, and a change costs reading the folder it touched.
class TestServiceIndex : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changesInOneFolderFollowWhileServing()
    {
        ServiceFixture service;
        QVERIFY(!service.addImage("sea", mar5, "sea-1.png").isEmpty());
        QVERIFY(!service.addImage("sea", mar3, "sea-3.png").isEmpty());
        QVERIFY(!service.addImage("tide", mar5, "tide-1.png").isEmpty());
        QVERIFY(!service.addImage("tide", mar5, "shared.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        const QString seaToday = "/wallpapers?category=sea&date=05%2F03%2F2026";
        const QString tideToday = "/wallpapers?category=tide&date=05%2F03%2F2026";
        const QByteArray seaEarlier = service.get("/wallpapers?category=sea&date=03%2F03%2F2026").body;
        const qsizetype readings = service.log().count("library: ");

        // Added to one date folder: listed while serving, that folder alone read again.
        QVERIFY(!service.addImage("sea", mar5, "sea-2.png").isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(filenames(service.get(seaToday)), (QStringList{"sea-1.png", "sea-2.png"}), 15000);
        const QStringList lines = service.log().split('\n').filter("library: ").mid(readings);
        QVERIFY(!lines.isEmpty());
        for (const QString& line : lines)
            QVERIFY2(line.contains("(read 1 folders again"), qPrintable(line));
        QCOMPARE(service.get("/wallpapers?category=sea&date=03%2F03%2F2026").body, seaEarlier);
        QCOMPARE(filenames(service.get(tideToday)), (QStringList{"shared.png", "tide-1.png"}));

        // A name another category publishes goes to the first in the library's order, and back when it goes.
        QVERIFY(!service.addImage("sea", mar5, "shared.png").isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(filenames(service.get(seaToday)),
                                  (QStringList{"sea-1.png", "sea-2.png", "shared.png"}), 15000);
        QCOMPARE(filenames(service.get(tideToday)), QStringList{"tide-1.png"});
        QVERIFY(QFile::remove(service.libraryPath() + "/sea/2026-03-05/shared.png"));
        QVERIFY(QFile::remove(service.libraryPath() + "/sea/2026-03-05/sea-2.png"));
        QTRY_COMPARE_WITH_TIMEOUT(filenames(service.get(seaToday)), QStringList{"sea-1.png"}, 15000);
        QCOMPARE(filenames(service.get(tideToday)), (QStringList{"shared.png", "tide-1.png"}));
        QCOMPARE(service.get("/get/sea-2.png").status, 404);
        QCOMPARE(service.get("/get/shared.png").status, 200);
        QCOMPARE(service.get("/wallpapers?category=sea&date=03%2F03%2F2026").body, seaEarlier);
    }

    // A few thousand pictures, then changes read folder by folder: the index
    // equals a plain walk, and its answers a fresh reading's, at every step.
    void indexEqualsAPlainWalkThroughChanges()
    {
        QTemporaryDir folder;
        const QString root = folder.path();
        const QString source = root + "/.source.jpg";
        QFile jpeg(source);
        QVERIFY(jpeg.open(QIODevice::WriteOnly) && jpeg.write(QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(64, 0)));
        jpeg.close();
        const auto add = [&](const QString& category, const QDate& date, const QString& name) {
            const QString dir = root + '/' + category + '/' + date.toString(Qt::ISODate);
            return QDir().mkpath(dir) && ::link(QFile::encodeName(source), QFile::encodeName(dir + '/' + name)) == 0;
        };
        // 30 categories of 40 dates with 2 pictures each; every tenth name also in the next category.
        for (int c = 0; c < 30; ++c) {
            for (int d = 0; d < 40; ++d) {
                const QString category = QStringLiteral("c%1").arg(c, 2, 10, QLatin1Char('0'));
                const QDate date = mar5.addDays(-d);
                for (int p = 0; p < 2; ++p)
                    QVERIFY(add(category, date, QStringLiteral("%1-%2-%3.jpg").arg(category).arg(d).arg(p)));
                if (d % 10 == 0 && c > 0)
                    QVERIFY(
                        add(category, date, QStringLiteral("c%1-%2-0.jpg").arg(c - 1, 2, 10, QLatin1Char('0')).arg(d)));
            }
        }
        LibraryIndex index = LibraryIndex::read(root);
        QCOMPARE(index.pictureCount(), 30 * 40 * 2);
        QCOMPARE(indexListing(index), straightListing(root));

        // Each change with the folders its watches would name.
        LibraryIndex::Changes changes;
        QVERIFY(add("c03", mar5, "new-a.jpg"));
        changes.dates["c03"].insert(mar5);
        QVERIFY(QFile::remove(root + "/c05/2026-03-05/c05-0-0.jpg")); // c06 publishes it now
        changes.dates["c05"].insert(mar5);
        QVERIFY(add("c01", mar5.addDays(-20), "c10-20-1.jpg")); // taken from c10
        changes.dates["c01"].insert(mar5.addDays(-20));
        QVERIFY(QDir(root + "/c07/2026-03-01").removeRecursively());
        changes.categories.insert("c07");
        QVERIFY(add("c07", mar5.addDays(1), "future.jpg"));
        QVERIFY(QDir(root + "/c20").removeRecursively());
        QVERIFY(add("b00", mar3, "c21-2-1.jpg")); // a new first category takes a name
        changes.root = true;
        LibraryIndex::Reading reading = index.prepare(changes, -1);
        reading.run();
        QVERIFY(reading.foldersRead() < 10);
        index.apply(std::move(reading));
        index.resolve();
        QCOMPARE(indexListing(index), straightListing(root));

        Catalogue followed;
        followed.update(std::move(index), 1000);
        Catalogue fresh;
        fresh.update(LibraryIndex::read(root), 1000);
        QCOMPARE(followed.version(), fresh.version());
        QCOMPARE(followed.categoriesReply(), fresh.categoriesReply());
        QCOMPARE(followed.wallpapersReply("c05", mar5), fresh.wallpapersReply("c05", mar5));
    }
};

VELMORA_TEST_MAIN(TestServiceIndex)
#include "test_service_index.moc"
