#include "test_main.h"
#include "test_screens.h"

#include "platform/linux/linux_wallpaper_setter.h"
#include "platform/platform_services.h"
#include "recording_desktop_system.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// Just the keys the setter writes, as GNOME, Cinnamon and MATE declare them.
// The tests bring their own: what a machine has installed must not decide
// which desktop refuses.
const char* const kGnomeSchema = R"(<schemalist>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-uri-dark" type="s"><default>''</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
  </schema>
</schemalist>
)";
const char* const kOtherDesktopSchemas = R"(<schemalist>
  <schema id="org.cinnamon.desktop.background" path="/org/cinnamon/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
  </schema>
  <schema id="org.mate.background" path="/org/mate/desktop/background/">
    <key name="picture-filename" type="s"><default>''</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
  </schema>
</schemalist>
)";

QString runOrFail(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A string key read back with `gsettings get`, its GVariant quoting undone.
QString gsettingsGet(const QString& schema, const QString& key)
{
    const QString printed = runOrFail(QStringLiteral("gsettings"), {QStringLiteral("get"), schema, key});
    QString text;
    for (qsizetype i = 1; i + 1 < printed.size(); ++i) {
        if (printed[i] == QLatin1Char('\\'))
            ++i;
        text += printed[i];
    }
    return text;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeImage(const QString& path, const QImage& image)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path))
        qFatal("cannot write %s", qPrintable(path));
}

QImage filled(int width, int height, Qt::GlobalColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

const QString kGnome = QStringLiteral("org.gnome.desktop.background");

} // namespace

class TestLinuxWallpaperSetter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_work;
    QString m_store;
    // GNOME's schema alone, and with Cinnamon's and MATE's beside it.
    QString m_gnomeSchemas;
    QString m_schemas;

    bool compileSchemas(const QString& folder, const QList<const char*>& sets)
    {
        QDir().mkpath(folder);
        for (qsizetype i = 0; i < sets.size(); ++i) {
            QFile schema(folder + QStringLiteral("/velmora-test-%1.gschema.xml").arg(i));
            if (!schema.open(QIODevice::WriteOnly) || schema.write(sets[i]) < 0)
                return false;
        }
        runOrFail(QStringLiteral("glib-compile-schemas"), {folder});
        return true;
    }

    QStringList storeFiles() const
    {
        QStringList files;
        const QFileInfoList entries = QDir(m_store).entryInfoList(QDir::Files | QDir::Hidden);
        for (const QFileInfo& entry : entries)
            files.append(entry.absoluteFilePath());
        return files;
    }

    QString source(const QString& name, Qt::GlobalColor color = Qt::darkCyan)
    {
        const QString path = m_work.filePath(name);
        writeImage(path, filled(64, 48, color));
        return path;
    }

    void resetSession()
    {
        for (const char* variable : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "DISPLAY",
                                     "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
            qunsetenv(variable);
        qputenv("GSETTINGS_SCHEMA_DIR", QFile::encodeName(m_gnomeSchemas));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        m_store = m_work.filePath(QStringLiteral("store"));
        // GSettings writes to a key file in the temporary XDG_CONFIG_HOME.
        qputenv("GSETTINGS_BACKEND", "keyfile");
        // Only the schemas compiled here are seen, not the system's.
        const QString noSystemData = m_work.filePath(QStringLiteral("data"));
        QDir().mkpath(noSystemData);
        qputenv("XDG_DATA_DIRS", QFile::encodeName(noSystemData));
        m_gnomeSchemas = m_work.filePath(QStringLiteral("gnome-schemas"));
        m_schemas = m_work.filePath(QStringLiteral("schemas"));
        QVERIFY(compileSchemas(m_gnomeSchemas, {kGnomeSchema}));
        QVERIFY(compileSchemas(m_schemas, {kGnomeSchema, kOtherDesktopSchemas}));
    }

    void init()
    {
        resetSession();
        QDir(m_store).removeRecursively();
    }

    void cleanup() { resetSession(); }

    void gnomeShowsACopyOfItsOwnInBothStyles()
    {
        qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
        RecordingDesktopSystem system;
        LinuxWallpaperSetter setter(system, m_store);
        const QString picture = source(QStringLiteral("it's a wallpaper.png"));

        QVERIFY(setter.setWallpaper(picture));

        const QString uri = gsettingsGet(kGnome, QStringLiteral("picture-uri"));
        QCOMPARE(gsettingsGet(kGnome, QStringLiteral("picture-uri-dark")), uri);
        const QString shown = QUrl(uri).toLocalFile();
        QCOMPARE(storeFiles(), QStringList{shown});
        QVERIFY(shown.endsWith(QLatin1String(".png")));
        QCOMPARE(contents(shown), contents(picture));
        QVERIFY(system.commands.isEmpty());
    }

    void gnomeSpansAndShowsEveryNewComposite()
    {
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        RecordingDesktopSystem system;
        LinuxWallpaperSetter setter(system, m_store);
        const QString tempFolder =
            QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/Velmora");
        const QString composite = tempFolder + QStringLiteral("/composite_wallpaper.bmp");
        const QList<QRect> rects{{0, 0, 64, 48}};

        QVERIFY(setter.setSpanStyle());
        QCOMPARE(gsettingsGet(kGnome, QStringLiteral("picture-options")), QStringLiteral("spanned"));

        writeImage(composite, filled(64, 48, Qt::red));
        QVERIFY(setter.setSpannedWallpaper(composite, rects));
        const QString first = gsettingsGet(kGnome, QStringLiteral("picture-uri"));

        // The same composite path again, with a new picture in it: the desktop
        // must be handed a path it does not show yet.
        writeImage(composite, filled(64, 48, Qt::blue));
        QVERIFY(setter.setSpannedWallpaper(composite, rects));
        const QString second = gsettingsGet(kGnome, QStringLiteral("picture-uri"));

        QVERIFY(second != first);
        QCOMPARE(storeFiles(), QStringList{QUrl(second).toLocalFile()});
        QCOMPARE(contents(QUrl(second).toLocalFile()), contents(composite));
        // Nothing was left in the temporary folder for its clean-up to take.
        QCOMPARE(QDir(tempFolder).entryList(QDir::Files), QStringList{"composite_wallpaper.bmp"});
    }

    void cinnamonAndMateUseTheirOwnSchemas()
    {
        qputenv("GSETTINGS_SCHEMA_DIR", QFile::encodeName(m_schemas));
        RecordingDesktopSystem system;
        LinuxWallpaperSetter setter(system, m_store);

        // Cinnamon has no dark-style key: the picture alone is enough.
        qputenv("XDG_CURRENT_DESKTOP", "X-Cinnamon");
        QVERIFY(setter.setSpanStyle());
        QVERIFY(setter.setWallpaper(source(QStringLiteral("cinnamon.png"))));
        const QString cinnamon = QStringLiteral("org.cinnamon.desktop.background");
        QCOMPARE(gsettingsGet(cinnamon, QStringLiteral("picture-options")), QStringLiteral("spanned"));
        QCOMPARE(QUrl(gsettingsGet(cinnamon, QStringLiteral("picture-uri"))).toLocalFile(), storeFiles().value(0));

        // MATE takes a plain path.
        qputenv("XDG_CURRENT_DESKTOP", "MATE");
        QVERIFY(setter.setSpanStyle());
        QVERIFY(setter.setWallpaper(source(QStringLiteral("mate.png"))));
        const QString mate = QStringLiteral("org.mate.background");
        QCOMPARE(gsettingsGet(mate, QStringLiteral("picture-options")), QStringLiteral("spanned"));
        QCOMPARE(gsettingsGet(mate, QStringLiteral("picture-filename")), storeFiles().value(0));
        QCOMPARE(storeFiles().size(), 1);
    }

    void refusedChangeKeepsWhatIsShown()
    {
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        RecordingDesktopSystem system;
        LinuxWallpaperSetter setter(system, m_store);
        QVERIFY(setter.setWallpaper(source(QStringLiteral("shown.png"))));
        const QStringList shown = storeFiles();

        // No Cinnamon schema here: gsettings refuses.
        qputenv("XDG_CURRENT_DESKTOP", "X-Cinnamon");
        QVERIFY(!setter.setWallpaper(source(QStringLiteral("refused.png"))));
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        QVERIFY(!setter.setWallpaper(m_work.filePath(QStringLiteral("missing.png"))));
        QVERIFY(!setter.setSpannedWallpaper(m_work.filePath(QStringLiteral("missing.bmp")), {{0, 0, 10, 10}}));

        QCOMPARE(storeFiles(), shown);
        QCOMPARE(QUrl(gsettingsGet(kGnome, QStringLiteral("picture-uri"))).toLocalFile(), shown.value(0));
    }

    void plasmaDesktopsGetTheirScreensPart()
    {
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        RecordingDesktopSystem system;
        LinuxWallpaperSetter setter(system, m_store);
        QImage image = filled(300, 100, Qt::black);
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 300; ++x)
                image.setPixel(x, y, x < 200 ? qRgb(255, 0, 0) : (y < 80 ? qRgb(0, 0, 255) : qRgb(0, 0, 0)));
        }
        const QString composite = m_work.filePath(QStringLiteral("composite_wallpaper.bmp"));
        writeImage(composite, image);

        QVERIFY(!setter.setSpanStyle());
        QVERIFY(setter.setSpannedWallpaper(composite, {{0, 0, 200, 100}, {200, 0, 100, 80}}));

        QCOMPARE(system.scripts.size(), 1);
        QVERIFY(system.commands.isEmpty());
        static const QRegularExpression url(QStringLiteral("\"url\":\"([^\"]+)\""));
        QList<QImage> parts;
        auto matches = url.globalMatch(system.scripts[0]);
        while (matches.hasNext()) {
            const auto match = matches.next();
            const QString path = QUrl(match.captured(1)).toLocalFile();
            QVERIFY(storeFiles().contains(path));
            parts.append(QImage(path));
        }
        QCOMPARE(parts.size(), 2);
        QCOMPARE(storeFiles().size(), 2);
        QCOMPARE(parts[0].size(), QSize(200, 100));
        QCOMPARE(parts[0].pixel(199, 99), qRgb(255, 0, 0));
        QCOMPARE(parts[1].size(), QSize(100, 80));
        QCOMPARE(parts[1].pixel(0, 0), qRgb(0, 0, 255));
        QCOMPARE(parts[1].pixel(99, 79), qRgb(0, 0, 255));

        // Plasma not running: its earlier pictures stay.
        const QStringList shown = storeFiles();
        system.plasmaAnswers = false;
        QVERIFY(!setter.setWallpaper(source(QStringLiteral("single.png"))));
        QCOMPARE(storeFiles(), shown);

        // One picture for every desktop.
        system.plasmaAnswers = true;
        QVERIFY(setter.setWallpaper(source(QStringLiteral("single.png"))));
        QCOMPARE(system.scripts.size(), 3);
        QCOMPARE(url.globalMatch(system.scripts[2]).hasNext(), true);
        QCOMPARE(storeFiles().size(), 1);
        QVERIFY(system.scripts[2].contains(QUrl::fromLocalFile(storeFiles()[0]).toString(QUrl::FullyEncoded)));
    }

    void xfceSetsEveryMonitorAndCreatesWhatIsMissing()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080, 1.0}});
        qputenv("XDG_CURRENT_DESKTOP", "XFCE");
        RecordingDesktopSystem system;
        system.answer = [](const QString&, const QStringList& arguments) {
            DesktopSystem::Result result;
            result.ok = true;
            if (arguments.contains(QLatin1String("-l")))
                result.output = QStringLiteral("/backdrop/screen0/monitorA/workspace0/last-image\n"
                                               "/backdrop/screen0/monitorA/workspace1/image-style\n");
            return result;
        };
        LinuxWallpaperSetter setter(system, m_store);
        // A monitor plugged in after start: the setter, on its own thread, learns of it too.
        TestScreens::apply({{"A", 0, 0, 1920, 1080, 1.0}, {"B", 1920, 0, 1280, 1024, 1.0}});
        QCoreApplication::processEvents();

        QVERIFY(setter.setWallpaper(source(QStringLiteral("xfce.png"))));
        const QString shown = storeFiles().value(0);
        const QStringList list{"xfconf-query", "-c", "xfce4-desktop", "-l"};
        auto set = [](const QString& property, const QString& type, const QString& value) {
            return QStringList{"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-n", "-t", type, "-s", value};
        };
        QCOMPARE(system.commands,
                 QList<QStringList>({list, set("/backdrop/screen0/monitorA/workspace0/last-image", "string", shown),
                                     set("/backdrop/screen0/monitorA/workspace1/last-image", "string", shown),
                                     set("/backdrop/screen0/monitorB/workspace0/last-image", "string", shown)}));

        system.commands.clear();
        QVERIFY(setter.setSpanStyle());
        QCOMPARE(system.commands,
                 QList<QStringList>({list, set("/backdrop/screen0/monitorA/workspace0/image-style", "int", "6"),
                                     set("/backdrop/screen0/monitorA/workspace1/image-style", "int", "6"),
                                     set("/backdrop/screen0/monitorB/workspace0/image-style", "int", "6")}));

        // One monitor refused: a failure, but the others show the new picture.
        system.answer = [](const QString&, const QStringList& arguments) {
            DesktopSystem::Result result;
            result.ok = !arguments.contains(QLatin1String("/backdrop/screen0/monitorB/workspace0/last-image"));
            return result;
        };
        QVERIFY(!setter.setWallpaper(source(QStringLiteral("xfce2.png"))));
        QCOMPARE(storeFiles().size(), 1);
        QVERIFY(storeFiles()[0] != shown);
        TestScreens::apply({{"A", 0, 0, 1920, 1080, 1.0}});
    }

    void fehServesOtherX11Sessions()
    {
        qputenv("XDG_CURRENT_DESKTOP", "i3");
        qputenv("DISPLAY", ":7");
        RecordingDesktopSystem system;
        system.installed = QStringList{"feh"};
        LinuxWallpaperSetter setter(system, m_store);

        QVERIFY(setter.setWallpaper(source(QStringLiteral("feh.png"))));
        QVERIFY(!setter.setSpanStyle());
        QVERIFY(setter.setSpannedWallpaper(source(QStringLiteral("composite.bmp")), {{0, 0, 64, 48}}));
        const QString shown = storeFiles().value(0);
        QCOMPARE(system.commands.size(), 2);
        QCOMPARE(system.commands[0].mid(0, 2), QStringList({"feh", "--bg-fill"}));
        QCOMPARE(system.commands[1], QStringList({"feh", "--no-xinerama", "--bg-fill", shown}));
        QVERIFY(shown.endsWith(QLatin1String(".bmp")));

        // Without feh, under a desktop's own window, or on Wayland, nothing can set it.
        system.commands.clear();
        system.installed.clear();
        QVERIFY(!setter.setWallpaper(source(QStringLiteral("feh.png"))));
        system.installed = QStringList{"feh"};
        system.desktopWindow = true;
        QVERIFY(!setter.setWallpaper(source(QStringLiteral("feh.png"))));
        system.desktopWindow = false;
        system.installed = QStringList{"feh"};
        qputenv("WAYLAND_DISPLAY", "wayland-0");
        QVERIFY(!setter.setWallpaper(source(QStringLiteral("feh.png"))));
        QVERIFY(system.commands.isEmpty());
        QCOMPARE(storeFiles(), QStringList{shown});
    }

    void platformServicesDriveTheSessionsDesktop()
    {
        const std::unique_ptr<PlatformServices> platform = createPlatformServices();
        const QString picture = source(QStringLiteral("platform.png"));
        QVERIFY(!platform->setWallpaper(picture));

        qputenv("XDG_SESSION_DESKTOP", "gnome");
        QVERIFY(platform->setWallpaper(picture));
        const QString shown = QUrl(gsettingsGet(kGnome, QStringLiteral("picture-uri"))).toLocalFile();
        QVERIFY(shown.startsWith(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                                 QStringLiteral("/desktop/")));
        QCOMPARE(contents(shown), contents(picture));
    }
};

VELMORA_TEST_MAIN(TestLinuxWallpaperSetter)
#include "test_linux_wallpaper_setter.moc"
