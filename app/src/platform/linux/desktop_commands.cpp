#include "desktop_commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPoint>
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
    if (name == QLatin1String("lxde") || name == QLatin1String("lubuntu"))
        return LinuxDesktop::Lxde;
    if (name == QLatin1String("lxqt"))
        return LinuxDesktop::Lxqt;
    if (name == QLatin1String("sway"))
        return LinuxDesktop::Sway;
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

LinuxDesktop detectLinuxDesktop(const QString& currentDesktop, const QString& sessionDesktop,
                                const QString& desktopSession, const QString& swaySocket)
{
    const LinuxDesktop named = detectLinuxDesktop(currentDesktop, sessionDesktop, desktopSession);
    return named == LinuxDesktop::Other && !swaySocket.isEmpty() ? LinuxDesktop::Sway : named;
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

QStringList pcmanfmArguments(const QString& imagePath, const QString& mode)
{
    return {QStringLiteral("--set-wallpaper"), imagePath, QStringLiteral("--wallpaper-mode=") + mode};
}

QString pcmanfmProfile(const QStringList& arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if ((argument == QLatin1String("--profile") || argument == QLatin1String("-p")) && i + 1 < arguments.size())
            return arguments[i + 1];
        if (argument.startsWith(QLatin1String("--profile=")))
            return argument.mid(10);
    }
    return QStringLiteral("default");
}

bool pcmanfmQtPerScreenWallpaper(const QString& settings)
{
    bool inDesktop = false;
    const QStringList lines = settings.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inDesktop = line == QLatin1String("[Desktop]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inDesktop && equals > 0 && line.left(equals).trimmed() == QLatin1String("PerScreenWallpaper"))
            return line.mid(equals + 1).trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    }
    return false;
}

QString pcmanfmDesktopItems(const QString& current, const QString& imagePath, const QString& mode)
{
    QStringList lines = current.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    qsizetype group = lines.indexOf(QStringLiteral("[*]"));
    if (group < 0) {
        lines.append(QStringLiteral("[*]"));
        group = lines.size() - 1;
    }
    const QStringList values{QStringLiteral("wallpaper_mode=") + mode, QStringLiteral("wallpaper=") + imagePath};
    // The group's own wallpaper lines go; the new ones open it.
    qsizetype i = group + 1;
    while (i < lines.size() && !lines[i].startsWith(QLatin1Char('['))) {
        if (lines[i].startsWith(QLatin1String("wallpaper_mode=")) || lines[i].startsWith(QLatin1String("wallpaper=")))
            lines.removeAt(i);
        else
            ++i;
    }
    for (qsizetype k = 0; k < values.size(); ++k)
        lines.insert(group + 1 + k, values[k]);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QList<SwayPicture> swayOutputPictures(const QByteArray& outputsJson, const QList<PlasmaPicture>& pictures)
{
    struct Output
    {
        QString name;
        QPoint position;
    };
    QList<Output> outputs;
    QPoint topLeft;
    bool first = true;
    const QJsonArray list = QJsonDocument::fromJson(outputsJson).array();
    for (const QJsonValue& value : list) {
        const QJsonObject output = value.toObject();
        const QString name = output.value(QStringLiteral("name")).toString();
        if (!output.value(QStringLiteral("active")).toBool() || name.isEmpty())
            continue;
        const QJsonObject rect = output.value(QStringLiteral("rect")).toObject();
        const QPoint position(rect.value(QStringLiteral("x")).toInt(), rect.value(QStringLiteral("y")).toInt());
        topLeft = first ? position : QPoint(qMin(topLeft.x(), position.x()), qMin(topLeft.y(), position.y()));
        first = false;
        outputs.append({name, position});
    }
    QList<SwayPicture> shown;
    if (pictures.isEmpty())
        return shown;
    for (const Output& output : std::as_const(outputs)) {
        qsizetype best = 0;
        qint64 bestDistance = -1;
        for (qsizetype j = 0; j < pictures.size(); ++j) {
            const QPoint d = pictures[j].area.topLeft() - (output.position - topLeft);
            const qint64 distance = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
            if (bestDistance < 0 || distance < bestDistance) {
                best = j;
                bestDistance = distance;
            }
        }
        shown.append({output.name, pictures[best].path});
    }
    return shown;
}

QStringList swaymsgBackgroundArguments(const QString& output, const QString& path)
{
    // swaymsg joins its arguments into one command line: the path is quoted
    // for sway's parser.
    QString quoted = path;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return {QStringLiteral("output"), output, QStringLiteral("bg"), QLatin1Char('"') + quoted + QLatin1Char('"'),
            QStringLiteral("fill")};
}
