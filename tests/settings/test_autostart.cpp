#include "test_main.h"

#include "platform/linux/autostart_entry.h"
#include "platform/platform_services.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

static QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class TestAutostart : public QObject
{
    Q_OBJECT

    QTemporaryDir config;
    std::unique_ptr<PlatformServices> platform = createPlatformServices();

private Q_SLOTS:
    void init()
    {
        QDir(config.path()).removeRecursively();
        QDir().mkpath(config.path());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    }

    void execQuotesWhatTheFormatReserves_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("blank and letters") << "/home/zoë/Мои программы/velmora"
                                           << "\"/home/zoë/Мои программы/velmora\" --startup";
        // Quoted and escaped, then every backslash doubled as a string value wants.
        QTest::newRow("reserved") << "/opt/a\"b$c`d\\e%f"
                                  << "\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e%%f\" --startup";
        QTest::newRow("line break") << "/opt/a\nb" << QString();
    }

    void execQuotesWhatTheFormatReserves()
    {
        QFETCH(QString, program);
        QTEST(LinuxAutostart::execValue(program, {"--startup"}), "exec");
    }

    void entryIsWrittenValidAndRemoved()
    {
        QVERIFY(!platform->hasStartupEntry("Velmora"));
        QVERIFY(platform->addStartupEntry("Velmora", "/opt/My Apps/velmora", {"--startup"}));
        const QString path = config.path() + "/autostart/velmora.desktop";
        QVERIFY(readAll(path).contains("\nExec=\"/opt/My Apps/velmora\" --startup\n"));
        QVERIFY(platform->hasStartupEntry("Velmora"));

        if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
            QSKIP("desktop-file-validate is missing (scripts/setup installs it)");
        QProcess validate;
        validate.start("desktop-file-validate", {path});
        QVERIFY(validate.waitForFinished(60000));
        const QByteArray output = validate.readAll() + validate.readAllStandardError();
        QVERIFY2(validate.exitCode() == 0 && output.isEmpty(), output.constData());

        QVERIFY(platform->removeStartupEntry("Velmora"));
        QVERIFY(!QFileInfo::exists(path) && !platform->hasStartupEntry("Velmora"));
        QVERIFY(!platform->removeStartupEntry("Velmora"));
    }

    void linkIsReplacedAndAnUnwritablePlaceFails()
    {
        const QString outside = config.path() + "/outside.txt";
        const QString path = LinuxAutostart::entryPath("Velmora");
        QVERIFY(QFile(outside).open(QIODevice::WriteOnly) && QDir().mkpath(LinuxAutostart::directory()));
        QVERIFY(QFile::link(outside, path));
        QVERIFY(platform->addStartupEntry("Velmora", "/opt/v", {}));
        QVERIFY(!QFileInfo(path).isSymLink() && readAll(outside).isEmpty());

        // A file where the folder should be, and a name that is no file name.
        QVERIFY(QDir(LinuxAutostart::directory()).removeRecursively());
        QVERIFY(QFile(LinuxAutostart::directory()).open(QIODevice::WriteOnly));
        QVERIFY(!platform->addStartupEntry("Velmora", "/opt/v", {}) && !platform->hasStartupEntry("Velmora"));
        QVERIFY(!platform->addStartupEntry("../x", "/opt/v", {}));
    }

    void defaultFolderIsInTheHome()
    {
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(LinuxAutostart::directory(), QDir::homePath() + "/.config/autostart");
    }
};

VELMORA_TEST_MAIN(TestAutostart)
#include "test_autostart.moc"
