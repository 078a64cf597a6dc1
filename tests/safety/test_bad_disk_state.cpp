// The program's own files in states a user's disk may hold them: start-up
// keeps every picture whose log it cannot understand, reads nothing but
// regular files, and keeps its temporary files in a folder of its own.

#include "safety_support.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_window.h"

#include "core/settings_file.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Access = ModernWindowTestAccess;

const QByteArray goodLine = "[2026-03-05 10:00:00] [current.png] [Manuel] [Remplir]\n";

QString configLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
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
        QFile::setPermissions(configLocation() + QStringLiteral("/history"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void startupKeepsFolderOfUnusableLog_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<bool>("kept");

        QByteArray garbage(4096, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 73 + 11) % 256);
        const auto bytes = int(LogState::Bytes);
        QTest::newRow("binary garbage") << bytes << garbage << true;
        QTest::newRow("10 MB line") << bytes << goodLine + "[2026-03-05 11:00:00] [" + QByteArray(10 << 20, 'a') + "\n"
                                    << true;
        QTest::newRow("cut-off last line") << bytes << goodLine + "[2026-03-05 11:00:00] [next.pn" << true;
        QTest::newRow("parent name") << bytes << goodLine + "[2026-03-05 11:00:00] [../x.png] [Manuel] [Remplir]\n"
                                     << true;
        QTest::newRow("absolute name") << bytes << goodLine + "[2026-03-05 11:00:00] [/etc/x.png] [Manuel] [Remplir]\n"
                                       << true;
        QTest::newRow("invalid UTF-8") << bytes
                                       << goodLine + "[2026-03-05 11:00:00] [\xff\xfe.png] [Manuel] [Remplir]\n"
                                       << true;
        QTest::newRow("log mode 000") << int(LogState::Unreadable) << goodLine << true;
        QTest::newRow("log is a folder") << int(LogState::Folder) << QByteArray() << true;
        QTest::newRow("log is a FIFO") << int(LogState::Fifo) << QByteArray() << true;
        QTest::newRow("history folder mode 000") << int(LogState::HistoryUnreadable) << goodLine << true;
        // What still goes: a folder without any log, and the old pictures beside a good one.
        QTest::newRow("no log") << int(LogState::NoLog) << QByteArray() << false;
        QTest::newRow("good log") << int(LogState::Good) << goodLine << false;
    }

    void startupKeepsFolderOfUnusableLog()
    {
        QFETCH(int, state);
        QFETCH(QByteArray, log);
        QFETCH(bool, kept);

        const QString id = screenId();
        const QString folder = configLocation() + QStringLiteral("/wallpapers/") + id;
        const QString history = configLocation() + QStringLiteral("/history");
        const QString logPath = history + QLatin1Char('/') + id + QStringLiteral(".log");
        QVERIFY(writeFile(folder + QStringLiteral("/current.png"), "the picture on the desktop"));
        QVERIFY(writeFile(folder + QStringLiteral("/older.png"), "an earlier one"));
        QDir(history).removeRecursively();
        QVERIFY(QDir().mkpath(history));
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
        if (kept) {
            QCOMPARE(snapshot(folder), before);
        } else if (LogState(state) == LogState::Good) {
            QVERIFY(QFileInfo::exists(folder + QStringLiteral("/current.png")));
            QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/older.png")));
        } else {
            QVERIFY(!QFileInfo::exists(folder));
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
        const QString pictures = QDir::tempPath() + QStringLiteral("/linked-pictures");
        QDir(pictures).removeRecursively();
        QVERIFY(writeFile(pictures + QStringLiteral("/current.png"), "current"));
        QVERIFY(writeFile(pictures + QStringLiteral("/holiday.png"), "the user's"));
        const QString folder = configLocation() + QStringLiteral("/wallpapers/") + id;
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()) && QFile::link(pictures, folder));
        if (logged)
            QVERIFY(writeFile(configLocation() + QStringLiteral("/history/") + id + QStringLiteral(".log"), goodLine));
        const QMap<QString, QByteArray> before = snapshot(pictures);
        {
            ModernWindow window(testWindowEnvironment());
        }
        QCOMPARE(snapshot(pictures), before);
    }

    // The settings library would wait forever on a FIFO or device in the
    // settings file's place: it is set aside first, and start-up finishes.
    void settingsFifoIsSetAside()
    {
        const QString path = SettingsFile::userSettingsPath();
        QCOMPARE(path, openSettings().fileName());
        QFile::remove(path);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        {
            ModernWindow window(testWindowEnvironment());
        }
        const QStringList aside = QFileInfo(path).dir().entryList({QStringLiteral("WallpaperSettings.conf.damaged-*")},
                                                                  QDir::System | QDir::Files);
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
        const QString expected =
            runtime ? QString(QString::fromLocal8Bit(m_runtime) + QStringLiteral("/Velmora"))
                    : QString(QDir::tempPath() + QStringLiteral("/Velmora-") + QString::number(::getuid()));
        QCOMPARE(folder, expected);
        struct stat info
        {
        };
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
        QCOMPARE(info.st_uid, ::getuid());
        QCOMPARE(PathHelper::existingTemporaryDirectory(), folder);
    }

    void foreignTemporaryFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to the user's pictures") << QStringLiteral("link");
        QTest::newRow("another user's folder") << QStringLiteral("foreign");
        QTest::newRow("a file") << QStringLiteral("file");
    }

    // Someone was first at the shared temporary folder's name: nothing there
    // is cleaned, and a change still works, in a folder of its own.
    void foreignTemporaryFolder()
    {
        QFETCH(QString, kind);
        qunsetenv("XDG_RUNTIME_DIR");
        const QString taken = QDir::tempPath() + QStringLiteral("/Velmora-") + QString::number(::getuid());
        QDir(taken).removeRecursively();
        QFile::remove(taken);
        const QString pictures = QDir::tempPath() + QStringLiteral("/pictures");
        QDir(pictures).removeRecursively();
        QVERIFY(writeFile(pictures + QStringLiteral("/holiday.bmp"), "bmp"));
        QVERIFY(writeFile(pictures + QStringLiteral("/scan.png"), "png"));
        if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(pictures, taken));
        } else if (kind == QLatin1String("foreign")) {
            QVERIFY(writeFile(taken + QStringLiteral("/theirs.bmp"), "theirs"));
            QVERIFY(QFile::setPermissions(taken, QFileDevice::Permissions(0x7777)));
            if (::chown(QFile::encodeName(taken).constData(), 65534, 65534) != 0)
                QSKIP("handing a folder to another user needs root");
        } else {
            QVERIFY(writeFile(taken, "not a folder"));
        }
        const QMap<QString, QByteArray> picturesBefore = snapshot(pictures);
        const QMap<QString, QByteArray> takenBefore = snapshot(taken);

        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("c")));
        QVERIFY(!service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("p.png")).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        {
            ModernWindow window(service.windowEnvironment());
            window.setCategoryRating(QStringLiteral("c"), 1);
            QTest::mouseClick(Access::changeNowButton(window), Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return !Access::changeInFlight(window); }, 30000));
            QCOMPARE(Access::lastApiError(window), QString());
            QCOMPARE(Access::screenHistory(window).value(0).size(), 1);

            const QString own = PathHelper::getTemporaryDirectory();
            QVERIFY(own != taken);
            const QFileInfo info(own);
            QVERIFY(!info.isSymLink() && info.isDir() && info.ownerId() == ::getuid());
        }
        QCOMPARE(snapshot(pictures), picturesBefore);
        QCOMPARE(snapshot(taken), takenBefore);
        QCOMPARE(QFileInfo(taken).isSymLink(), kind == QLatin1String("link"));
    }

private:
    QByteArray m_runtime;
};

VELMORA_TEST_MAIN(TestBadDiskState)
#include "test_bad_disk_state.moc"
