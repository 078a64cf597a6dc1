#include "test_main.h"

#include "core/picture_marks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray validFile = R"({"favourites":["kept.jpg"],"neverAgain":["gone.png"]})";

} // namespace

class TestPictureMarks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("data/picture_marks.json"));
        PictureMarks marks(path);
        QVERIFY(marks.load());
        QVERIFY(marks.addFavourite(QStringLiteral("lake.v2.jpg")));
        QVERIFY(marks.addNeverAgain(QStringLiteral("ugly.png")));
        ShownText why;
        QVERIFY(!marks.addNeverAgain(QStringLiteral("../x.png"), &why));
        QVERIFY(!why.isEmpty());

        PictureMarks again(path);
        QVERIFY(again.load());
        QCOMPARE(again.favourites(), QSet<QString>{QStringLiteral("lake.v2.jpg")});
        QCOMPARE(again.neverAgain(), QSet<QString>{QStringLiteral("ugly.png")});
        const QList<QString> history{QStringLiteral("/w/a/ugly.png"), QStringLiteral("/w/a/lake.v2.jpg")};
        QCOMPARE(again.withoutNeverAgain(history), QList<QString>{QStringLiteral("/w/a/lake.v2.jpg")});
        // Nothing left beside it by the atomic write.
        QCOMPARE(QDir(folder.filePath(QStringLiteral("data"))).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void refusesWhatItCannotRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link") << QStringLiteral("link");
        QTest::newRow("fifo") << QStringLiteral("fifo");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("oversized") << QStringLiteral("oversized");
        QTest::newRow("not json") << QStringLiteral("garbage");
    }

    void refusesWhatItCannotRead()
    {
        QFETCH(QString, kind);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("picture_marks.json"));
        const QString elsewhere = folder.filePath(QStringLiteral("elsewhere.json"));
        QByteArray held;
        if (kind == QLatin1String("link")) {
            QFile target(elsewhere);
            QVERIFY(target.open(QIODevice::WriteOnly) && target.write(validFile) == validFile.size());
            target.close();
            QVERIFY(QFile::link(elsewhere, path));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(path));
        } else {
            held = kind == QLatin1String("oversized") ? validFile + QByteArray(PictureMarks::maxFileBytes, ' ')
                                                      : QByteArray("{\"favourites\": [\"kept.jpg\"");
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(held) == held.size());
        }

        PictureMarks marks(path);
        ShownText why;
        QVERIFY(!marks.load(&why));
        QVERIFY(why.toString().contains(path));
        QVERIFY(marks.favourites().isEmpty());
        // No mark is taken, so nothing is written over what is there.
        QVERIFY(!marks.addNeverAgain(QStringLiteral("p.png"), &why));
        QVERIFY(!marks.addFavourite(QStringLiteral("p.png")));
        QVERIFY(!marks.isNeverAgain(QStringLiteral("p.png")));

        const QFileInfo info(path);
        if (kind == QLatin1String("link")) {
            QVERIFY(info.isSymLink());
            QCOMPARE(contents(elsewhere), validFile);
        } else if (kind == QLatin1String("fifo")) {
            QVERIFY(!info.isFile() && info.exists());
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(info.isDir());
        } else {
            QCOMPARE(contents(path), held);
        }
    }
};

VELMORA_TEST_MAIN(TestPictureMarks)
#include "test_picture_marks.moc"
