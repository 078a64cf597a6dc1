#include "test_main.h"

#include "core/command_line.h"
#include "core/remote_command.h"
#include "core/settings_keys.h"
#include "core/user_pause.h"

#include <QSettings>
#include <QTemporaryDir>

class TestRemoteCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<qint64>("seconds");
        using K = RemoteCommand::Kind;
        QTest::newRow("next") << QStringList{"--next"} << true << int(K::Next) << QString() << 0LL;
        QTest::newRow("next on a screen")
            << QStringList{"--next", "--screen", "2"} << true << int(K::Next) << "2" << 0LL;
        QTest::newRow("screen first, attached") << QStringList{"--screen=DEL_U2720Q_1", "--never-again"} << true
                                                << int(K::NeverAgain) << "DEL_U2720Q_1" << 0LL;
        QTest::newRow("pause for ever") << QStringList{"--pause"} << true << int(K::Pause) << QString() << 0LL;
        QTest::newRow("pause 30m") << QStringList{"--pause", "30m"} << true << int(K::Pause) << QString() << 1800LL;
        QTest::newRow("pause=2d") << QStringList{"--pause=2d"} << true << int(K::Pause) << QString() << 172800LL;
        QTest::newRow("pause 1h") << QStringList{"--pause", "1h"} << true << int(K::Pause) << QString() << 3600LL;
        QTest::newRow("status") << QStringList{"--status"} << true << int(K::Status) << QString() << 0LL;
        QTest::newRow("two commands") << QStringList{"--next", "--resume"} << false << 0 << QString() << 0LL;
        QTest::newRow("screen without value") << QStringList{"--next", "--screen"} << false << 0 << QString() << 0LL;
        QTest::newRow("screen alone") << QStringList{"--screen", "1"} << false << 0 << QString() << 0LL;
        QTest::newRow("screen with status")
            << QStringList{"--status", "--screen", "1"} << false << 0 << QString() << 0LL;
        QTest::newRow("screen is a path")
            << QStringList{"--next", "--screen", "../x"} << false << 0 << QString() << 0LL;
        QTest::newRow("bad duration") << QStringList{"--pause", "5x"} << false << 0 << QString() << 0LL;
        QTest::newRow("zero duration") << QStringList{"--pause", "0h"} << false << 0 << QString() << 0LL;
        QTest::newRow("too long") << QStringList{"--pause", "400d"} << false << 0 << QString() << 0LL;
        QTest::newRow("stray word") << QStringList{"--next", "now"} << false << 0 << QString() << 0LL;
        QTest::newRow("value on next") << QStringList{"--next=3"} << false << 0 << QString() << 0LL;
    }

    void commandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        const CommandLineRequest request = readCommandLine(QStringList{"velmora"} + arguments);
        if (!valid) {
            QCOMPARE(request.action, CommandLineRequest::Action::BadArguments);
            QVERIFY(!request.text.isEmpty());
            return;
        }
        QCOMPARE(request.action, CommandLineRequest::Action::Command);
        QFETCH(int, kind);
        QFETCH(QString, screen);
        QFETCH(qint64, seconds);
        QCOMPARE(int(request.command.kind), kind);
        QCOMPARE(request.command.screen, screen);
        QCOMPARE(request.command.pauseSeconds, seconds);
        // What one side writes the other reads back the same.
        QCOMPARE(RemoteProtocol::decodeRequest(RemoteProtocol::encodeRequest(request.command)), request.command);
    }

    void helpListsTheCommands()
    {
        const QString help = readCommandLine({"velmora", "--help"}).text;
        for (const char* word :
             {"--next", "--screen", "--pause", "--resume", "--favourite", "--never-again", "--status", "Exit codes"})
            QVERIFY2(help.contains(QLatin1String(word)), word);
    }

    void malformedRequestsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("not JSON") << QByteArray("next");
        QTest::newRow("array") << QByteArray("[1]");
        QTest::newRow("other version") << QByteArray(R"({"version":2,"command":"next"})");
        QTest::newRow("unknown command") << QByteArray(R"({"version":1,"command":"format-disk"})");
        QTest::newRow("unknown field") << QByteArray(R"({"version":1,"command":"next","shell":"x"})");
        QTest::newRow("screen not a string") << QByteArray(R"({"version":1,"command":"next","screen":2})");
        QTest::newRow("screen a path") << QByteArray(R"({"version":1,"command":"next","screen":"a/../b"})");
        QTest::newRow("negative pause") << QByteArray(R"({"version":1,"command":"pause","seconds":-5})");
        QTest::newRow("fractional pause") << QByteArray(R"({"version":1,"command":"pause","seconds":1.5})");
        QTest::newRow("pause on next") << QByteArray(R"({"version":1,"command":"next","seconds":60})");
        QTest::newRow("oversized") << QByteArray(R"({"version":1,"command":"next","screen":")") +
                                          QByteArray(RemoteProtocol::maxRequestBytes, 'a') + QByteArray(R"("})");
    }

    void malformedRequestsAreRefused()
    {
        QFETCH(QByteArray, request);
        QString error;
        QVERIFY(!RemoteProtocol::decodeRequest(request, &error));
        QVERIFY(!error.isEmpty());
    }

    void pauseKeepsItsEndAcrossARestart()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        UserPause::forSeconds(now, 3600).write(settings);
        QVERIFY(UserPause::read(settings, now.addSecs(3599)).holdsAt(now.addSecs(3599)));
        // Over at its end: a due change happens again.
        QVERIFY(!UserPause::read(settings, now.addSecs(3600)).isActive());

        UserPause::untilResumed().write(settings);
        QVERIFY(UserPause::read(settings, now.addYears(5)).isUntilResumed());
        UserPause().write(settings);
        QVERIFY(!settings.contains(SettingsKeys::PausedUntil));

        // Tomorrow is the next local midnight, whatever the hour now.
        const QDateTime late = QDateTime(QDate(2026, 3, 4), QTime(23, 59));
        QCOMPARE(UserPause::untilTomorrow(late).until().toLocalTime(), QDateTime(QDate(2026, 3, 5), QTime(0, 0)));

        settings.setValue(SettingsKeys::PausedUntil, "soon");
        QVERIFY(!UserPause::read(settings, now).isActive());
    }
};

VELMORA_TEST_MAIN(TestRemoteCommand)
#include "test_remote_command.moc"
