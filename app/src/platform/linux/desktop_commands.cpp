#include "desktop_commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <optional>

namespace {

std::optional<LinuxDesktop> desktopNamed(QString name)
{
    // DESKTOP_SESSION may hold the path of a session file.
    name = name.section(QLatin1Char('/'), -1).trimmed().toLower();
    if (name.startsWith(QLatin1String("x-")))
        name = name.mid(2);
    if (name.isEmpty())
        return std::nullopt;
    if (name.startsWith(QLatin1String("gnome")) || name.startsWith(QLatin1String("ubuntu")) ||
        name.startsWith(QLatin1String("unity")) || name.startsWith(QLatin1String("budgie")) ||
        name == QLatin1String("pantheon"))
        return LinuxDesktop::Gnome;
    if (name.startsWith(QLatin1String("cinnamon")))
        return LinuxDesktop::Cinnamon;
    if (name == QLatin1String("mate"))
        return LinuxDesktop::Mate;
    if (name == QLatin1String("kde") || name.startsWith(QLatin1String("plasma")))
        return LinuxDesktop::Kde;
    if (name.startsWith(QLatin1String("xfce")) || name == QLatin1String("xubuntu"))
        return LinuxDesktop::Xfce;
    return std::nullopt;
}

} // namespace

LinuxDesktop detectLinuxDesktop(const QString& currentDesktop, const QString& sessionDesktop,
                                const QString& desktopSession)
{
    for (const QString& value : {currentDesktop, sessionDesktop, desktopSession}) {
        if (value.trimmed().isEmpty())
            continue;
        // XDG_CURRENT_DESKTOP is a list such as "ubuntu:GNOME": the first
        // known name wins.
        const QStringList names = value.split(QLatin1Char(':'), Qt::SkipEmptyParts);
        for (const QString& name : names) {
            if (const auto desktop = desktopNamed(name))
                return *desktop;
        }
        return LinuxDesktop::Other;
    }
    return LinuxDesktop::Other;
}

QString gvariantString(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QStringList gsettingsSetArguments(const QString& schema, const QString& key, const QString& value)
{
    return {QStringLiteral("set"), schema, key, gvariantString(value)};
}

QString plasmaWallpaperScript(const QList<PlasmaPicture>& pictures)
{
    QJsonArray list;
    for (const PlasmaPicture& picture : pictures) {
        QJsonObject entry;
        entry[QStringLiteral("x")] = picture.area.x();
        entry[QStringLiteral("y")] = picture.area.y();
        entry[QStringLiteral("url")] = QUrl::fromLocalFile(picture.path).toString(QUrl::FullyEncoded);
        list.append(entry);
    }
    const QString data = QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
    // Positions are compared relative to the layout's top-left corner, taken
    // as the composite takes it: never right of or below (0, 0).
    return QStringLiteral("var pictures = ") + data + QStringLiteral(R"(;
var all = desktops();
var left = 0, top = 0;
for (var i = 0; i < all.length; ++i) {
    if (all[i].screen < 0)
        continue;
    var g = screenGeometry(all[i].screen);
    left = Math.min(left, g.x);
    top = Math.min(top, g.y);
}
for (var i = 0; i < all.length; ++i) {
    var d = all[i];
    var picture = pictures[0];
    if (pictures.length > 1) {
        if (d.screen < 0)
            continue;
        var g = screenGeometry(d.screen);
        var best = -1, bestDistance = 0;
        for (var j = 0; j < pictures.length; ++j) {
            var dx = pictures[j].x - (g.x - left), dy = pictures[j].y - (g.y - top);
            var distance = dx * dx + dy * dy;
            if (best < 0 || distance < bestDistance) {
                best = j;
                bestDistance = distance;
            }
        }
        picture = pictures[best];
    }
    d.wallpaperPlugin = "org.kde.image";
    d.currentConfigGroup = ["Wallpaper", "org.kde.image", "General"];
    d.writeConfig("Image", picture.url);
}
)");
}

QStringList xfceBackdropFolders(const QString& propertyListing, const QStringList& monitorNames)
{
    static const QRegularExpression folderPattern(
        QStringLiteral(R"(^(/backdrop/screen\d+/monitor[^/\s]+/workspace\d+)/)"), QRegularExpression::MultilineOption);
    QSet<QString> folders;
    QSet<QString> monitorsSeen;
    auto matches = folderPattern.globalMatch(propertyListing);
    while (matches.hasNext()) {
        const QString folder = matches.next().captured(1);
        folders.insert(folder);
        monitorsSeen.insert(folder.section(QLatin1Char('/'), 3, 3));
    }
    for (const QString& name : monitorNames) {
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char(' ')))
            continue;
        const QString monitor = QStringLiteral("monitor") + name;
        if (!monitorsSeen.contains(monitor))
            folders.insert(QStringLiteral("/backdrop/screen0/") + monitor + QStringLiteral("/workspace0"));
    }
    QStringList sorted(folders.cbegin(), folders.cend());
    sorted.sort();
    return sorted;
}

QStringList xfconfSetArguments(const QString& property, const QString& type, const QString& value)
{
    return {QStringLiteral("-c"),
            QStringLiteral("xfce4-desktop"),
            QStringLiteral("-p"),
            property,
            QStringLiteral("-n"),
            QStringLiteral("-t"),
            type,
            QStringLiteral("-s"),
            value};
}

QStringList fehArguments(const QString& imagePath, bool spanned)
{
    QStringList arguments;
    if (spanned)
        arguments << QStringLiteral("--no-xinerama");
    arguments << QStringLiteral("--bg-fill") << imagePath;
    return arguments;
}
