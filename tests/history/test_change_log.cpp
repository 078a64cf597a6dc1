#include "history_fixture.h"
#include "test_main.h"

#include "core/change_log.h"

#include <ctime>

namespace {
const QByteArray lineA = "[2026-03-05 14:07:09] [a.jpg] [Manuel] [Remplir]";
const QByteArray lineB = "[2026-03-05 15:00:00] [b.jpg] [Automatique] [Ajuster]";
} // namespace

// The change-log format, read and written, and what bad lines do.
class TestChangeLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { wipeStorage(); }

    void lineFormat()
    {
        const QDateTime when(QDate(2026, 3, 5), QTime(4, 7, 9));
        QCOMPARE(ChangeLog::formatLine(when, QStringLiteral("x y.jpg"), QStringLiteral("Démarrage"),
                                       QStringLiteral("Mosaïque")),
                 QStringLiteral("[2026-03-05 04:07:09] [x y.jpg] [Démarrage] [Mosaïque]\n").toUtf8());
    }

    void adjustmentWords_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("word");
        QTest::newRow("none") << -1 << "Remplir";
        QTest::newRow("fill") << 0 << "Remplir";
        QTest::newRow("fit") << 1 << "Ajuster";
        QTest::newRow("span") << 2 << QStringLiteral("Étendre");
        QTest::newRow("stretch") << 3 << QStringLiteral("Étirer");
        QTest::newRow("tile") << 4 << QStringLiteral("Mosaïque");
        QTest::newRow("past the list") << 5 << "Remplir";
    }

    void adjustmentWords()
    {
        QFETCH(int, mode);
        QFETCH(QString, word);
        QCOMPARE(ChangeLog::adjustmentWord(mode), word);
    }

    void parsing_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fileName"); // empty: not recognised
        QTest::newRow("plain") << QString::fromUtf8(lineA) << "a.jpg";
        QTest::newRow("text around") << "x " + QString::fromUtf8(lineA) + " y"
                                     << "a.jpg";
        QTest::newRow("five fields: first four") << "[t] [f.png] [g] [h] [i]"
                                                 << "f.png";
        QTest::newRow("carriage return") << QString::fromUtf8(lineA) + "\r"
                                         << "a.jpg";
        QTest::newRow("truncated") << "[2026-03-05 14:07:09] [a.jpg] [Manuel]"
                                   << "";
        QTest::newRow("cut inside a field") << "[2026-03-05 14:07:09] [a.jpg] [Manuel] [Remp"
                                            << "";
        QTest::newRow("bracket in a field") << "[2026-03-05 14:07:09] [a]b.jpg] [Manuel] [Remplir]"
                                            << "";
        QTest::newRow("empty field") << "[2026-03-05 14:07:09] [] [Manuel] [Remplir]"
                                     << "";
        QTest::newRow("blank") << "   "
                               << "";
        QTest::newRow("parent folder") << "[t] [..] [Manuel] [Remplir]"
                                       << "";
        QTest::newRow("current folder") << "[t] [.] [Manuel] [Remplir]"
                                        << "";
        QTest::newRow("relative path") << "[t] [../../x.jpg] [Manuel] [Remplir]"
                                       << "";
        QTest::newRow("backslash") << "[t] [..\\x.jpg] [Manuel] [Remplir]"
                                   << "";
        QTest::newRow("drive") << "[t] [C:x.jpg] [Manuel] [Remplir]"
                               << "";
        QTest::newRow("control character") << "[t] [a\tb.jpg] [Manuel] [Remplir]"
                                           << "";
        QTest::newRow("blank name is no file name") << "[t] [ ] [Manuel] [Remplir]"
                                                    << "";
    }

    void parsing()
    {
        QFETCH(QString, line);
        QFETCH(QString, fileName);
        const std::optional<ChangeLogLine> fields = ChangeLog::parseLine(line);
        QCOMPARE(fields.has_value(), !fileName.isEmpty());
        if (fields)
            QCOMPARE(fields->fileName, fileName);
    }

    void timestampsReadAsTheFormatParserReadsThem_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("text");
        const QStringList texts{"2026-03-05 14:07:09",  "1969-12-31 23:59:59", "9999-12-31 23:59:59",
                                "0001-01-01 00:00:00",  "0000-01-01 00:00:00", "2026-02-30 10:00:00",
                                "2024-02-29 10:00:00",  "2026-02-28 24:00:00", "2026-02-28 23:59:60",
                                "2026-03-29 02:30:00",  "2026-10-25 02:30:00", "2026-1-05 10:00:00",
                                "2026-03-05 10:00:0x",  "+026-03-05 10:00:00", "2026-03-05T10:00:00",
                                "2026-03-05 10:00:00 ", "yesterday",           ""};
        for (const QByteArray& zone : {QByteArray(), QByteArray("Europe/Paris"), QByteArray("America/St_Johns")}) {
            for (const QString& text : texts)
                QTest::addRow("%s %s", zone.constData(), qPrintable(text)) << zone << text;
        }
    }

    void timestampsReadAsTheFormatParserReadsThem()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, text);
        const QByteArray previous = qgetenv("TZ");
        const bool hadZone = qEnvironmentVariableIsSet("TZ");
        if (!zone.isEmpty())
            qputenv("TZ", zone);
        tzset();
        const QDateTime expected = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        const QDateTime actual = ChangeLog::parseTimestamp(text);
        // As a whole log is read: in the system's zone, looked up once.
        const QDateTime inZone = ChangeLog::parseTimestamp(text, QTimeZone::systemTimeZone());
        if (hadZone)
            qputenv("TZ", previous);
        else
            qunsetenv("TZ");
        tzset();
        QCOMPARE(actual.isValid(), expected.isValid());
        if (expected.isValid()) {
            QCOMPARE(actual, expected);
            QCOMPARE(actual.toMSecsSinceEpoch(), expected.toMSecsSinceEpoch());
        }
        QCOMPARE(inZone.isValid(), expected.isValid());
        if (expected.isValid()) {
            QCOMPARE(inZone.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                     expected.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            // Qt's local time keeps the zone the process started in; the zone
            // follows TZ. They agree on the instant while TZ stays as it was.
            if (zone.isEmpty())
                QCOMPARE(inZone.toMSecsSinceEpoch(), expected.toMSecsSinceEpoch());
        }
    }

    void lastNonEmptyLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one line") << lineA + "\n" << QString::fromUtf8(lineA);
        QTest::newRow("no final line feed") << lineA + "\n" + lineB << QString::fromUtf8(lineB);
        QTest::newRow("empty lines after") << lineA + "\n" + lineB + "\n\n\n" << QString::fromUtf8(lineB);
        QTest::newRow("crlf") << lineA + "\r\n" + lineB + "\r\n\r\n" << QString::fromUtf8(lineB);
        QTest::newRow("blank last line counts") << lineA + "\n   \n"
                                                << "   ";
        QTest::newRow("truncated last line counts") << lineA + "\n[2026-03-05"
                                                    << "[2026-03-05";
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("only line feeds") << QByteArray("\n\n") << "";
    }

    void lastNonEmptyLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString path = historyDir() + "/x.log";
        QVERIFY(writeFile(path, content));
        QCOMPARE(ChangeLog::lastNonEmptyLine(path), expected);
        QCOMPARE(ChangeLog::lastNonEmptyLine(historyDir() + "/missing.log"), QString());
    }

    void appendStartsAfterACutOffLine()
    {
        const QString path = historyDir() + "/x.log";
        QVERIFY(writeFile(path, lineA + "\n[2026-03-05 14:08:00] [c.jpg] [Ma"));
        QVERIFY(ChangeLog::append(path, lineB + "\n"));
        const QList<HistoryEntry> entries = ChangeLog::readEntries(path, 0);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1].filename, QStringLiteral("b.jpg"));
        QCOMPARE(entries[1].triggerMode, QStringLiteral("Automatique"));
        QCOMPARE(ChangeLog::lastNonEmptyLine(path), QString::fromUtf8(lineB));
        QVERIFY(!ChangeLog::append(historyDir() + "/no/such/folder.log", lineB));
    }

    void badLinesDoNotSpoilOthers()
    {
        const QString path = historyDir() + "/x.log";
        QByteArray content = lineA + "\r\n";
        content += "[2026-03-05 14:10:00] [caf\xc3\xa9\xff.jpg] [Manuel] [Remplir]\n"; // invalid UTF-8
        content += "[yesterday] [d.jpg] [Manuel] [Remplir]\n";
        content += "[2026-03-05 14:11:00] [e]x.jpg] [Manuel] [Remplir]\n";
        content += "[2026-03-05 14:12:00] [../f.jpg] [Manuel] [Remplir]\n";
        content += QByteArray("\x00\x01\x02\n", 4);
        content += "\n" + lineB + "\n[2026-03-05 16:0";
        QVERIFY(writeFile(path, content));

        const QList<HistoryEntry> entries = ChangeLog::readEntries(path, 3);
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries[0].filename, QStringLiteral("a.jpg"));
        QCOMPARE(entries[0].timestamp, QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)));
        QCOMPARE(entries[0].screenIndex, 3);
        QCOMPARE(entries[0].adjustMode, QStringLiteral("Remplir"));
        QVERIFY(entries[1].filename.startsWith(QStringLiteral("café")));
        QCOMPARE(entries[2].filename, QStringLiteral("d.jpg"));
        QVERIFY(!entries[2].timestamp.isValid());
        QCOMPARE(entries[3].filename, QStringLiteral("b.jpg"));
        QCOMPARE(ChangeLog::readEntries(historyDir() + "/missing.log", 0).size(), 0);
    }

    void readInSlicesLosesNoLine()
    {
        // Blank, CR-ended and unreadable lines among the good ones, around where the slices stop.
        QByteArray content;
        for (int i = 0; i < 1000; ++i)
            content += QStringLiteral("[2026-03-05 14:%1:%2] [p%3.jpg] [Manuel] [Remplir]%4")
                           .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(i % 60, 2, 10, QLatin1Char('0'))
                           .arg(i)
                           .arg(i % 7 == 0    ? QStringLiteral("\r\n\n")
                                : i % 11 == 0 ? QStringLiteral("\nbad\n")
                                              : "\n")
                           .toUtf8();
        const QString path = historyDir() + "/sliced.log";
        QVERIFY(writeFile(path, content));

        const QByteArray data = ChangeLog::readLog(path);
        QCOMPARE(data, content);
        QList<HistoryEntry> sliced;
        int slices = 0;
        for (qsizetype next = 0; next < data.size(); ++slices)
            next = ChangeLog::parseEntries(data, next, 2, QTimeZone::systemTimeZone(), sliced, [] { return false; });
        QVERIFY(slices > 3);
        const QList<HistoryEntry> whole = ChangeLog::readEntries(path, 2);
        QCOMPARE(whole.size(), 1000);
        QCOMPARE(sliced.size(), whole.size());
        for (qsizetype i = 0; i < whole.size(); ++i) {
            QCOMPARE(sliced[i].filename, whole[i].filename);
            QCOMPARE(sliced[i].timestamp, whole[i].timestamp);
        }
    }

    void windowLogsAndReadsBack()
    {
        auto w = makeHistoryWindow({{0, knownMonitor("Main (left)", "0", "1")}});
        const QString id = w->screenId(0);
        const QString logPath = historyDir() + "/" + id + ".log";
        QVERIFY(!w->hasLog(0));

        w->log(0, "a.jpg", "Manuel", "Remplir");
        w->log(0, "b.jpg", QStringLiteral("Démarrage"), QStringLiteral("Étendre"));
        w->log(0, "b.jpg", QStringLiteral("Démarrage"), QStringLiteral("Étendre"));
        QVERIFY(w->hasLog(0));
        const QList<QByteArray> lines = readFile(logPath).split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[3].isEmpty());
        const QRegularExpression shape(
            QStringLiteral(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] \[b\.jpg\] \[Démarrage\] \[Étendre\]$)"));
        QVERIFY2(shape.match(QString::fromUtf8(lines[1])).hasMatch(), lines[1].constData());
        QCOMPARE(lines[1], lines[2]);

        // The logged file must still lie in the monitor's folder.
        QCOMPARE(w->current(0), QString());
        const QString folder = wallpapersDir() + "/" + id;
        QVERIFY(writeFile(folder + "/b.jpg", "img"));
        QCOMPARE(w->current(0), folder + "/b.jpg");
        QCOMPARE(w->currentById(id), folder + "/b.jpg");
        QCOMPARE(w->last(0), folder + "/b.jpg");
        QFile::remove(folder + "/b.jpg");
        QCOMPARE(w->current(0), QString());

        // Names that would not read back as one file of the folder are not written.
        w->log(0, "x\ny.jpg", "Manuel", "Remplir");
        w->log(0, "../y.jpg", "Manuel", "Remplir");
        QCOMPARE(readFile(logPath).count('\n'), 3);
    }

    void onlyTheLastNonEmptyLineCounts()
    {
        auto w = makeHistoryWindow();
        const QString id = w->screenId(0);
        const QString logPath = historyDir() + "/" + id + ".log";
        QVERIFY(writeFile(wallpapersDir() + "/" + id + "/a.jpg", "img"));

        QVERIFY(writeFile(logPath, lineA + "\n\n\n"));
        QCOMPARE(w->current(0), wallpapersDir() + "/" + id + "/a.jpg");
        QVERIFY(writeFile(logPath, lineA + "\n[2026-03-05 15:00:00] [b.jpg] [Manuel]\n"));
        QCOMPARE(w->current(0), QString());
        QVERIFY(writeFile(logPath, lineA + "\n  \t\n"));
        QCOMPARE(w->current(0), QString());
    }

    void unsafeNamesAreNeverUsed()
    {
        auto w = makeHistoryWindow();
        const QString id = w->screenId(0);
        // A file that a crafted log would reach from the monitor's folder.
        QVERIFY(writeFile(wallpapersDir() + "/secret.jpg", "private"));
        QVERIFY(
            writeFile(historyDir() + "/" + id + ".log", "[2026-03-05 15:00:00] [../secret.jpg] [Manuel] [Remplir]\n"));
        QCOMPARE(w->current(0), QString());
        QVERIFY(writeFile(historyDir() + "/...log", lineA + "\n"));
        QVERIFY(writeFile(wallpapersDir() + "/a.jpg", "img"));
        QCOMPARE(w->currentById(".."), QString());
        QCOMPARE(w->currentById("../history/x"), QString());

        // The start-up clean-up cannot tell what such a log names: the folder stays, as does the outside file.
        QVERIFY(writeFile(wallpapersDir() + "/" + id + "/old.jpg", "img"));
        w->cleanupAll();
        QVERIFY(QFileInfo::exists(wallpapersDir() + "/" + id + "/old.jpg"));
        QCOMPARE(readFile(wallpapersDir() + "/secret.jpg"), QByteArray("private"));
    }

    void whiteSpaceIsNoLog()
    {
        auto w = makeHistoryWindow();
        const QString logPath = historyDir() + "/" + w->screenId(0) + ".log";
        QVERIFY(writeFile(logPath, " \r\n\t\n"));
        QVERIFY(!w->hasLog(0));
        QVERIFY(writeFile(logPath, "\n x \n"));
        QVERIFY(w->hasLog(0));
        // Beyond the tail read first, and white space outside ASCII.
        QVERIFY(writeFile(logPath, "x" + QByteArray(100 * 1024, ' ')));
        QVERIFY(w->hasLog(0));
        QVERIFY(writeFile(logPath, "\xC2\xA0\n"));
        QVERIFY(!w->hasLog(0));
    }
};

VELMORA_TEST_MAIN(TestChangeLog)
#include "test_change_log.moc"
