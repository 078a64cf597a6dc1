#include "test_main.h"

#include "platform/linux/desktop_commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// Plays Plasma's scripting host in node: desktops(), screenGeometry() and the
// desktop objects, recording every writeConfig.
const char* const kPlasmaHost = R"(
const fs = require('fs');
const vm = require('vm');
const layout = JSON.parse(fs.readFileSync(process.argv[1], 'utf8'));
const script = fs.readFileSync(process.argv[2], 'utf8');
const written = [];
const all = layout.desktops.map((screen, index) => ({
    screen: screen,
    wallpaperPlugin: 'org.kde.color',
    currentConfigGroup: [],
    writeConfig(key, value) {
        written.push({desktop: index, plugin: this.wallpaperPlugin, group: this.currentConfigGroup.join('/'),
                      key: key, value: value});
    },
}));
vm.runInNewContext(script, {
    desktops: () => all,
    screenGeometry: (screen) => layout.screens[screen],
    print: () => {},
});
console.log(JSON.stringify(written));
)";

QJsonObject geometry(int x, int y, int width, int height)
{
    return {{"x", x}, {"y", y}, {"width", width}, {"height", height}};
}

// What each desktop was given, by desktop index; an empty text for none.
QStringList runPlasmaScript(const QString& script, const QJsonArray& screens, const QList<int>& desktopScreens)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty())
        qFatal("node is needed to run Plasma scripts (package nodejs)");
    QTemporaryDir dir;
    QJsonArray desktops;
    for (int screen : desktopScreens)
        desktops.append(screen);
    QFile layoutFile(dir.filePath(QStringLiteral("layout.json")));
    QFile scriptFile(dir.filePath(QStringLiteral("script.js")));
    if (!layoutFile.open(QIODevice::WriteOnly) || !scriptFile.open(QIODevice::WriteOnly))
        qFatal("cannot write the Plasma script files");
    layoutFile.write(QJsonDocument(QJsonObject{{"screens", screens}, {"desktops", desktops}}).toJson());
    scriptFile.write(script.toUtf8());
    layoutFile.close();
    scriptFile.close();

    QProcess process;
    process.start(node,
                  {QStringLiteral("-e"), QString::fromUtf8(kPlasmaHost), layoutFile.fileName(), scriptFile.fileName()});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("node failed: %s", process.readAllStandardError().constData());

    QStringList given(desktopScreens.size());
    const QJsonArray written = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    for (const QJsonValue& value : written) {
        const QJsonObject entry = value.toObject();
        if (entry["plugin"].toString() != QLatin1String("org.kde.image") ||
            entry["group"].toString() != QLatin1String("Wallpaper/org.kde.image/General") ||
            entry["key"].toString() != QLatin1String("Image"))
            qFatal("unexpected writeConfig in the Plasma script");
        given[entry["desktop"].toInt()] += QUrl(entry["value"].toString()).toLocalFile();
    }
    return given;
}

} // namespace

class TestLinuxDesktopCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void detectsTheDesktop_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("session");
        QTest::addColumn<QString>("desktopSession");
        QTest::addColumn<LinuxDesktop>("expected");

        QTest::newRow("GNOME") << "GNOME"
                               << ""
                               << "" << LinuxDesktop::Gnome;
        QTest::newRow("Ubuntu") << "ubuntu:GNOME"
                                << "ubuntu"
                                << "ubuntu" << LinuxDesktop::Gnome;
        QTest::newRow("Unity") << "Unity:Unity7:ubuntu"
                               << ""
                               << "" << LinuxDesktop::Gnome;
        QTest::newRow("Budgie") << "Budgie:GNOME"
                                << ""
                                << "" << LinuxDesktop::Gnome;
        QTest::newRow("Pantheon") << "Pantheon"
                                  << ""
                                  << "" << LinuxDesktop::Gnome;
        QTest::newRow("GNOME Flashback") << "GNOME-Flashback:GNOME"
                                         << ""
                                         << "" << LinuxDesktop::Gnome;
        QTest::newRow("Cinnamon") << "X-Cinnamon"
                                  << "cinnamon"
                                  << "cinnamon" << LinuxDesktop::Cinnamon;
        QTest::newRow("MATE") << "MATE"
                              << ""
                              << "" << LinuxDesktop::Mate;
        QTest::newRow("KDE") << "KDE"
                             << "KDE"
                             << "plasma" << LinuxDesktop::Kde;
        QTest::newRow("XFCE") << "XFCE"
                              << ""
                              << "" << LinuxDesktop::Xfce;
        QTest::newRow("LXQt") << "LXQt"
                              << ""
                              << "" << LinuxDesktop::Lxqt;
        QTest::newRow("LXDE") << "LXDE"
                              << ""
                              << "LXDE" << LinuxDesktop::Lxde;
        QTest::newRow("sway") << "sway"
                              << ""
                              << "" << LinuxDesktop::Sway;
        QTest::newRow("i3, other variables ignored") << "i3"
                                                     << "gnome"
                                                     << "gnome" << LinuxDesktop::Other;
        QTest::newRow("session fallback") << ""
                                          << "plasma"
                                          << "" << LinuxDesktop::Kde;
        QTest::newRow("desktop session fallback") << "  "
                                                  << ""
                                                  << "xfce" << LinuxDesktop::Xfce;
        QTest::newRow("session file path") << ""
                                           << ""
                                           << "/usr/share/xsessions/plasmax11" << LinuxDesktop::Kde;
        QTest::newRow("none") << ""
                              << ""
                              << "" << LinuxDesktop::Other;
    }
    void detectsTheDesktop()
    {
        QFETCH(QString, current);
        QFETCH(QString, session);
        QFETCH(QString, desktopSession);
        QFETCH(LinuxDesktop, expected);
        QCOMPARE(detectLinuxDesktop(current, session, desktopSession), expected);
        // sway's socket names sway only where no known desktop is named.
        const LinuxDesktop withSocket = expected == LinuxDesktop::Other ? LinuxDesktop::Sway : expected;
        QCOMPARE(detectLinuxDesktop(current, session, desktopSession, "/run/user/1000/sway-ipc.sock"), withSocket);
    }

    void pcmanfmKeepsOtherSettings()
    {
        const QString current =
            "[*]\nwallpaper_mode=color\ndesktop_bg=#000000\nwallpaper=/old.png\n[other]\nwallpaper=x\n";
        QCOMPARE(pcmanfmDesktopItems(current, "/new.bmp", "screen"),
                 "[*]\nwallpaper_mode=screen\nwallpaper=/new.bmp\ndesktop_bg=#000000\n[other]\nwallpaper=x\n");
        QCOMPARE(pcmanfmDesktopItems("", "/new.bmp", "crop"), "[*]\nwallpaper_mode=crop\nwallpaper=/new.bmp\n");
        QCOMPARE(pcmanfmProfile({"--desktop", "--profile", "LXDE"}), "LXDE");
        QCOMPARE(pcmanfmProfile({"--desktop"}), "default");
    }

    void pcmanfmQtPerScreenWallpaper_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("perScreen");
        QTest::newRow("on") << "[Desktop]\nWallpaper=/a.png\nPerScreenWallpaper=true\n" << true;
        QTest::newRow("off") << "[Desktop]\nPerScreenWallpaper=false\n" << false;
        QTest::newRow("another group's") << "[Desktop]\nWallpaperMode=zoom\n[Window]\nPerScreenWallpaper=true\n"
                                         << false;
        QTest::newRow("none yet") << "" << false;
    }
    void pcmanfmQtPerScreenWallpaper()
    {
        QFETCH(QString, settings);
        QFETCH(bool, perScreen);
        QCOMPARE(::pcmanfmQtPerScreenWallpaper(settings), perScreen);
    }

    void swayOutputsGetThePictureWhereTheyLie()
    {
        // Laid out from (-1920, 0): the second output sits 200 px lower; the third is off.
        const QByteArray outputs = QByteArray("[{'name': 'DP-1', 'active': true, 'rect': {'x': -1920, 'y': 0}},"
                                              " {'name': 'HDMI-A-1', 'active': true, 'rect': {'x': 0, 'y': 200}},"
                                              " {'name': 'DP-2', 'active': false, 'rect': {'x': 0, 'y': 0}}]")
                                       .replace('\'', '"');
        const QList<SwayPicture> shown = swayOutputPictures(
            outputs, {{QRect(1920, 200, 1280, 1024), "/b.bmp"}, {QRect(0, 0, 1920, 1080), "/a.bmp"}});
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].output + shown[0].path + shown[1].output + shown[1].path, "DP-1/a.bmpHDMI-A-1/b.bmp");
        QCOMPARE(swayOutputPictures(outputs, {{QRect(), "/all.bmp"}}).size(), 2);
        QCOMPARE(swaymsgBackgroundArguments("DP-1", "/home/a \"b\"/c.bmp"),
                 QStringList({"output", "DP-1", "bg", "\"/home/a \\\"b\\\"/c.bmp\"", "fill"}));
    }

    void gsettingsValuesAreQuoted()
    {
        QCOMPARE(gsettingsSetArguments("org.mate.background", "picture-filename", R"(/home/zoë/it's a \ path.bmp)"),
                 QStringList({"set", "org.mate.background", "picture-filename", R"('/home/zoë/it\'s a \\ path.bmp')"}));
    }

    void plasmaDesktopsGetTheirScreensPart_data()
    {
        QTest::addColumn<QJsonArray>("screens");
        QTest::addColumn<QList<int>>("desktopScreens");
        QTest::addColumn<QList<QRect>>("areas");
        QTest::addColumn<QStringList>("expected");

        // Areas are the screens' rectangles inside the composite, whose origin
        // is the layout's top-left corner or (0, 0), whichever is further out.
        QTest::newRow("side by side, desktops in another order")
            << QJsonArray{geometry(0, 0, 1920, 1080), geometry(1920, 0, 1280, 1024)} << QList<int>{1, 0}
            << QList<QRect>{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}} << QStringList{"/p/1.bmp", "/p/0.bmp"};
        QTest::newRow("second screen left of the primary")
            << QJsonArray{geometry(0, 0, 1920, 1080), geometry(-1280, 0, 1280, 1024)} << QList<int>{0, 1}
            << QList<QRect>{{1280, 0, 1920, 1080}, {0, 0, 1280, 1024}} << QStringList{"/p/0.bmp", "/p/1.bmp"};
        QTest::newRow("second screen above, two activities")
            << QJsonArray{geometry(0, 0, 1920, 1080), geometry(320, -1024, 1280, 1024)} << QList<int>{0, 1, 1, 0}
            << QList<QRect>{{0, 1024, 1920, 1080}, {320, 0, 1280, 1024}}
            << QStringList{"/p/0.bmp", "/p/1.bmp", "/p/1.bmp", "/p/0.bmp"};
        QTest::newRow("layout not touching (0, 0)")
            << QJsonArray{geometry(100, 50, 1920, 1080), geometry(2020, 50, 1920, 1080)} << QList<int>{1, 0}
            << QList<QRect>{{100, 50, 1920, 1080}, {2020, 50, 1920, 1080}} << QStringList{"/p/1.bmp", "/p/0.bmp"};
        QTest::newRow("desktop without a screen is left alone")
            << QJsonArray{geometry(0, 0, 1920, 1080), geometry(1920, 0, 1920, 1080)} << QList<int>{0, -1, 1}
            << QList<QRect>{{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}} << QStringList{"/p/0.bmp", "", "/p/1.bmp"};
        QTest::newRow("one picture for every desktop")
            << QJsonArray{geometry(0, 0, 1920, 1080), geometry(1920, 0, 1920, 1080)} << QList<int>{0, -1, 1}
            << QList<QRect>{QRect()} << QStringList{"/p/0.bmp", "/p/0.bmp", "/p/0.bmp"};
    }
    void plasmaDesktopsGetTheirScreensPart()
    {
        QFETCH(QJsonArray, screens);
        QFETCH(QList<int>, desktopScreens);
        QFETCH(QList<QRect>, areas);
        QFETCH(QStringList, expected);

        QList<PlasmaPicture> pictures;
        for (int i = 0; i < areas.size(); ++i)
            pictures.append({areas[i], QStringLiteral("/p/%1.bmp").arg(i)});
        QCOMPARE(runPlasmaScript(plasmaWallpaperScript(pictures), screens, desktopScreens), expected);
    }

    void plasmaScriptCarriesAnyPathSafely()
    {
        const QString path = QStringLiteral(R"(/home/zoë/"quoted" it's\ "; throw 1; "/обои 1.bmp)");
        const QString script = plasmaWallpaperScript({{QRect(), path}});
        QCOMPARE(runPlasmaScript(script, {geometry(0, 0, 800, 600)}, {0}), QStringList{path});
    }

    void xfceFoldersCoverListedAndConnectedMonitors()
    {
        const QString listing = QStringLiteral("/backdrop/screen0/monitor0/image-path\n"
                                               "/backdrop/screen0/monitorHDMI-1/workspace0/color-style\n"
                                               "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
                                               "/backdrop/screen0/monitorHDMI-1/workspace1/last-image\n"
                                               "/backdrop/single-workspace-mode\n"
                                               "/desktop-icons/file-icons/show-home\n");
        QCOMPARE(xfceBackdropFolders(listing, {"HDMI-1", "DP-2", ""}),
                 QStringList({"/backdrop/screen0/monitorDP-2/workspace0", "/backdrop/screen0/monitorHDMI-1/workspace0",
                              "/backdrop/screen0/monitorHDMI-1/workspace1"}));
        QCOMPARE(xfceBackdropFolders(QString(), {}), QStringList());
    }
};

VELMORA_TEST_MAIN(TestLinuxDesktopCommands)
#include "test_linux_desktop_commands.moc"
