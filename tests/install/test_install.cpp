#include "test_environment.h"
#include "test_main.h"

#include "core/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (process.waitForFinished(240000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

} // namespace

// Installs the build into a throw-away root as a package would, and checks
// what lands there: every file, the desktop data, the unit, and a program
// that runs from where it landed.
class TestInstall : public QObject
{
    Q_OBJECT

    QString m_root;

    QString installed(const QString& absolutePath) const { return m_root + absolutePath; }

private Q_SLOTS:
    void initTestCase()
    {
        m_root = TestEnvironment::root() + QStringLiteral("/destdir");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), m_root);
        const Run install = run(QStringLiteral(VELMORA_CMAKE),
                                {QStringLiteral("--install"), QStringLiteral(VELMORA_BUILD_DIR)}, environment);
        QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    }

    void everyFileLands_data()
    {
        QTest::addColumn<QString>("path");
        const QString bin = QStringLiteral(VELMORA_BINDIR);
        const QString data = QStringLiteral(VELMORA_DATADIR);
        QStringList paths{bin + "/velmora",
                          data + "/velmora/icon.png",
                          data + "/velmora/star_active.png",
                          data + "/velmora/wallpaper_tile_icon.png",
                          data + "/applications/org.velmora.Velmora.desktop",
                          data + "/metainfo/org.velmora.Velmora.metainfo.xml",
                          data + "/doc/velmora/copyright",
                          data + "/man/man1/velmora.1.gz"};
        for (const int size : {16, 24, 32, 48, 64, 128, 256})
            paths.append(data + QStringLiteral("/icons/hicolor/%1x%1/apps/velmora.png").arg(size));
#ifdef VELMORA_HAS_SERVICE
        paths += QStringList{bin + "/velmora-service", QStringLiteral(VELMORA_UNIT_DIR "/velmora-service.service"),
                             QStringLiteral(VELMORA_SYSCONFDIR "/default/velmora-service")};
#endif
        for (const QString& path : std::as_const(paths))
            QTest::newRow(qPrintable(path)) << path;
    }

    void everyFileLands()
    {
        QFETCH(QString, path);
        QVERIFY2(QFileInfo(installed(path)).isFile(), qPrintable(path));
    }

    void desktopDataValidates_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        const QString data = installed(QStringLiteral(VELMORA_DATADIR));
        QTest::newRow("desktop entry") << QStringLiteral("desktop-file-validate")
                                       << QStringList{data + "/applications/org.velmora.Velmora.desktop"};
        QTest::newRow("metainfo") << QStringLiteral("appstreamcli")
                                  << QStringList{"validate", "--no-net", "--pedantic",
                                                 data + "/metainfo/org.velmora.Velmora.metainfo.xml"};
    }

    void desktopDataValidates()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP("the validator is not installed (scripts/setup installs it)");
        const Run result = run(tool, arguments);
        QVERIFY2(result.exitCode == 0, qPrintable(result.output));
    }

    void unitVerifies()
    {
#ifndef VELMORA_HAS_SERVICE
        QSKIP("the service is not built");
#endif
        if (QStandardPaths::findExecutable(QStringLiteral("systemd-analyze")).isEmpty())
            QSKIP("systemd-analyze is not installed");
        // The unit names its program by its final place; here it lies under
        // the throw-away root.
        QFile unit(installed(QStringLiteral(VELMORA_UNIT_DIR "/velmora-service.service")));
        QVERIFY(unit.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(unit.readAll());
        QVERIFY(text.contains(QStringLiteral("ExecStart=" VELMORA_BINDIR "/velmora-service ")));
        text.replace(QStringLiteral("ExecStart=" VELMORA_BINDIR),
                     QStringLiteral("ExecStart=") + installed(VELMORA_BINDIR));
        const QString copy = TestEnvironment::root() + QStringLiteral("/unit/velmora-service.service");
        QVERIFY(QDir().mkpath(QFileInfo(copy).path()));
        QFile file(copy);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
        file.close();
        const Run result =
            run(QStringLiteral("systemd-analyze"), {QStringLiteral("verify"), QStringLiteral("--man=no"), copy});
        QVERIFY2(result.exitCode == 0 && result.output.trimmed().isEmpty(), qPrintable(result.output));
    }

    void installedProgramFindsItsAssets()
    {
        // The program's own asset rule, run from the installed program's folder.
        const QString probe = installed(QStringLiteral(VELMORA_BINDIR "/velmora_asset_probe"));
        QFile::remove(probe);
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_PROBE), probe));
        const Run result = run(probe, {QStringLiteral("icon.png"), QStringLiteral("star_inactive.png"),
                                       QStringLiteral("wallpaper_fill_icon.png")});
        QFile::remove(probe);
        const QString found = QStringLiteral("ok ") + installed(QStringLiteral(VELMORA_DATADIR "/velmora/"));
        QVERIFY2(result.exitCode == 0 && result.output.count(found) == 3, qPrintable(result.output));
    }

    void installedProgramRunsAndStaysAlone()
    {
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(installed(QStringLiteral(VELMORA_BINDIR "/velmora")), {QStringLiteral("--startup")});
        const QString socket = SingleInstance::defaultServerName();
        // Listening means it is up; a second start then hands over and leaves.
        QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning || QFileInfo::exists(socket), 60000);
        QCOMPARE(first.state(), QProcess::Running);
        const Run second = run(installed(QStringLiteral(VELMORA_BINDIR "/velmora")), {QStringLiteral("--startup")});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(first.state(), QProcess::Running);
        // Its log-on entry (on by default) shows the same icon as its menu entry.
        QFile entry(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/autostart/velmora.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains(QStringLiteral("\nIcon=velmora\n")), qPrintable(text));
        QVERIFY2(text.contains(installed(QStringLiteral(VELMORA_BINDIR "/velmora"))), qPrintable(text));
        first.terminate();
        QVERIFY(first.waitForFinished(60000));
    }
};

VELMORA_TEST_MAIN(TestInstall)
#include "test_install.moc"
