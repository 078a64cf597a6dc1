// The program's own files in states a user's disk may hold them: start-up
// keeps every picture whose log it cannot understand, reads nothing but
// regular files, and keeps its temporary files in a folder of its own.

#include "safety_support.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_window.h"

#include "core/settings_file.h"
#include "utils/path_helper.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Access = ModernWindowTestAccess;

const QByteArray goodLine = "[2026-03-05 10:00:00] [current.png] [Manuel] [Remplir]\n";

// The good line followed by a later one naming the given picture.
QByteArray thenLine(const QByteArray& name)
{
    return goodLine + "[2026-03-05 11:00:00] [" + name + "] [Manuel] [Remplir]\n";
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

QString screenId()
{
    ModernWindow window(testWindowEnvironment());
    return Access::screenId(window, 0);
}

enum class LogState { Bytes, Unreadable, Folder, Fifo, HistoryUnreadable, NoLog, Good };

} // namespace

class TestBadDiskState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_runtime = qgetenv("XDG_RUNTIME_DIR");
        QDir(configLocation()).removeRecursively();
        QDir(PathHelper::getTemporaryDirectory()).removeRecursively();
    }

    void cleanup()
    {
        qputenv("XDG_RUNTIME_DIR", m_runtime);
        // Leave nothing the next test cannot delete.
        QFile::setPermissions(configLocation() + "/history",
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void startupKeepsFolderOfUnusableLog_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("log");
        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 73 + 11) % 256);
        const auto bytes = int(LogState::Bytes);
        QTest::newRow("binary garbage") << bytes << garbage;
        QTest::newRow("10 MB line") << bytes << goodLine + "[2026-03-05 11:00:00] [" + QByteArray(10 << 20, 'a') + "\n";
        QTest::newRow("cut-off last line") << bytes << goodLine + "[2026-03-05 11:00:00] [next.pn";
        QTest::newRow("parent name") << bytes << thenLine("../x.png");
        QTest::newRow("absolute name") << bytes << thenLine("/etc/x.png");
        QTest::newRow("invalid UTF-8") << bytes << thenLine("\xff\xfe.png");
        QTest::newRow("log mode 000") << int(LogState::Unreadable) << goodLine;
        QTest::newRow("log is a folder") << int(LogState::Folder) << QByteArray();
        QTest::newRow("log is a FIFO") << int(LogState::Fifo) << QByteArray();
        QTest::newRow("history folder mode 000") << int(LogState::HistoryUnreadable) << goodLine;
        // What still goes: a folder without any log, and the old pictures beside a good one.
        QTest::newRow("no log") << int(LogState::NoLog) << QByteArray();
        QTest::newRow("good log") << int(LogState::Good) << goodLine;
    }

    void startupKeepsFolderOfUnusableLog()
    {
        QFETCH(int, state);
        QFETCH(QByteArray, log);
        const QString id = screenId();
        const QString folder = configLocation() + "/wallpapers/" + id;
        const QString history = configLocation() + "/history";
        const QString logPath = history + '/' + id + ".log";
        QVERIFY(writeFile(folder + "/current.png", "the picture on the desktop"));
        QVERIFY(writeFile(folder + "/older.png", "an earlier one"));
        QVERIFY(QDir(history).removeRecursively() && QDir().mkpath(history));
        switch (LogState(state)) {
        case LogState::Bytes:
        case LogState::Good:
            QVERIFY(writeFile(logPath, log));
            break;
        case LogState::Unreadable:
            QVERIFY(writeFile(logPath, log) && QFile::setPermissions(logPath, {}));
            break;
        case LogState::HistoryUnreadable:
            QVERIFY(writeFile(logPath, log) && QFile::setPermissions(history, {}));
            break;
        case LogState::Folder:
            QVERIFY(QDir().mkpath(logPath));
            break;
        case LogState::Fifo:
            QCOMPARE(::mkfifo(QFile::encodeName(logPath).constData(), 0600), 0);
            break;
        case LogState::NoLog:
            break;
        }
        const QMap<QString, QByteArray> before = snapshot(folder);
        {
            PermissionsApply permissions;
            if (!permissions.holds())
                QSKIP("permission bits cannot be made to hold for this process");
            // Start-up runs the clean-up; a FIFO must not stop it.
            ModernWindow window(testWindowEnvironment());
        }
        if (LogState(state) == LogState::Good) {
            QVERIFY(QFileInfo::exists(folder + "/current.png"));
            QVERIFY(!QFileInfo::exists(folder + "/older.png"));
        } else if (LogState(state) == LogState::NoLog) {
            QVERIFY(!QFileInfo::exists(folder));
        } else {
            QCOMPARE(snapshot(folder), before);
        }
    }

    void linkedMonitorFolderIsNotCleanedThrough_data()
    {
        QTest::addColumn<bool>("logged");
        QTest::newRow("log naming a picture there") << true;
        QTest::newRow("no log") << false;
    }

    void linkedMonitorFolderIsNotCleanedThrough()
    {
        QFETCH(bool, logged);
        const QString id = screenId();
        const QString pictures = QDir::tempPath() + "/linked-pictures";
        QDir(pictures).removeRecursively();
        QVERIFY(writeFile(pictures + "/current.png", "current"));
        QVERIFY(writeFile(pictures + "/holiday.png", "the user's"));
        const QString folder = configLocation() + "/wallpapers/" + id;
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()) && QFile::link(pictures, folder));
        if (logged)
            QVERIFY(writeFile(configLocation() + "/history/" + id + ".log", goodLine));
        const QMap<QString, QByteArray> before = snapshot(pictures);
        {
            ModernWindow window(testWindowEnvironment());
        }
        QCOMPARE(snapshot(pictures), before);
    }

    // The settings library would wait forever on a FIFO in the settings
    // file's place: it is set aside first, and start-up finishes.
    void settingsFifoIsSetAside()
    {
        const QString path = SettingsFile::userSettingsPath();
        QFile::remove(path);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        {
            ModernWindow window(testWindowEnvironment());
        }
        const QStringList aside =
            QFileInfo(path).dir().entryList({"WallpaperSettings.conf.damaged-*"}, QDir::System | QDir::Files);
        QCOMPARE(aside.size(), 1);
        QVERIFY(!QFileInfo(path).exists() || QFileInfo(path).isFile());
        QFile::remove(QFileInfo(path).dir().filePath(aside.first()));
    }

    void temporaryFolderIsPrivate_data()
    {
        QTest::addColumn<bool>("runtime");
        QTest::newRow("session runtime folder") << true;
        QTest::newRow("no runtime folder") << false;
    }

    void temporaryFolderIsPrivate()
    {
        QFETCH(bool, runtime);
        if (!runtime)
            qunsetenv("XDG_RUNTIME_DIR");
        const QString folder = PathHelper::getTemporaryDirectory();
        QCOMPARE(folder, runtime ? QString(QString::fromLocal8Bit(m_runtime) + "/Velmora")
                                 : QString(QDir::tempPath() + "/Velmora-" + QString::number(::getuid())));
        struct stat info
        {
        };
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
        QVERIFY(S_ISDIR(info.st_mode) && (info.st_mode & 0777) == 0700 && info.st_uid == ::getuid());
        QCOMPARE(PathHelper::existingTemporaryDirectory(), folder);
    }

    void foreignTemporaryFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to the user's pictures") << "link";
        QTest::newRow("another user's folder") << "foreign";
        QTest::newRow("a file") << "file";
    }

    // Someone was first at the shared temporary folder's name: nothing there
    // is cleaned, and a change still works, in a folder of its own.
    void foreignTemporaryFolder()
    {
        QFETCH(QString, kind);
        qunsetenv("XDG_RUNTIME_DIR");
        const QString taken = QDir::tempPath() + "/Velmora-" + QString::number(::getuid());
        QDir(taken).removeRecursively();
        QFile::remove(taken);
        const QString pictures = QDir::tempPath() + "/pictures";
        QDir(pictures).removeRecursively();
        QVERIFY(writeFile(pictures + "/holiday.bmp", "bmp") && writeFile(pictures + "/scan.png", "png"));
        if (kind == "link") {
            QVERIFY(QFile::link(pictures, taken));
        } else if (kind == "foreign") {
            QVERIFY(writeFile(taken + "/theirs.bmp", "theirs"));
            QVERIFY(QFile::setPermissions(taken, QFileDevice::Permissions(0x7777)));
            if (::chown(QFile::encodeName(taken).constData(), 65534, 65534) != 0)
                QSKIP("handing a folder to another user needs root");
        } else {
            QVERIFY(writeFile(taken, "not a folder"));
        }
        const QMap<QString, QByteArray> picturesBefore = snapshot(pictures);
        const QMap<QString, QByteArray> takenBefore = snapshot(taken);

        ServiceFixture service;
        QVERIFY(service.addCategory("c"));
        QVERIFY(!service.addImage("c", QDate::currentDate(), "p.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        {
            ModernWindow window(service.windowEnvironment());
            window.setCategoryRating("c", 1);
            QVERIFY(runChange(window));
            QCOMPARE(Access::lastApiError(window), QString());
            QCOMPARE(Access::screenHistory(window).value(0).size(), 1);
            const QString own = PathHelper::getTemporaryDirectory();
            const QFileInfo info(own);
            QVERIFY(own != taken && !info.isSymLink() && info.isDir() && info.ownerId() == ::getuid());
        }
        QCOMPARE(snapshot(pictures), picturesBefore);
        QCOMPARE(snapshot(taken), takenBefore);
        QCOMPARE(QFileInfo(taken).isSymLink(), kind == "link");
    }

private:
    QByteArray m_runtime;
};

VELMORA_TEST_MAIN(TestBadDiskState)
#include "test_bad_disk_state.moc"
