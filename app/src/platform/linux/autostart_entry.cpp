#include "autostart_entry.h"

#include "build_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace LinuxAutostart {

namespace {

// Characters for which the desktop entry format wants an argument quoted.
const QString kReservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// One argument of an Exec line, before the string escapes.
QString quotedArgument(const QString& argument, bool alwaysQuote)
{
    bool needsQuotes = alwaysQuote || argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || kReservedCharacters.contains(c);
    // "%" starts a field code unless doubled, quoted or not.
    QString text = argument;
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!needsQuotes)
        return text;
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(QLatin1Char('"'));
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted.append(QLatin1Char('\\'));
        quoted.append(c);
    }
    quoted.append(QLatin1Char('"'));
    return quoted;
}

} // namespace

QString directory()
{
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString config =
        QDir::isAbsolutePath(configured) ? configured : QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/autostart"));
}

QString entryPath(const QString& name)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]*$"));
    if (!plainName.match(name).hasMatch())
        return {};
    return directory() + QLatin1Char('/') + name.toLower() + QStringLiteral(".desktop");
}

QString execValue(const QString& programPath, const QStringList& arguments)
{
    if (programPath.isEmpty() || hasControlCharacter(programPath))
        return {};
    QStringList parts{quotedArgument(programPath, true)};
    for (const QString& argument : arguments) {
        if (hasControlCharacter(argument))
            return {};
        parts.append(quotedArgument(argument, false));
    }
    // The string escapes come on top of the quoting: each backslash doubles.
    return parts.join(QLatin1Char(' ')).replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

QString entryText(const QString& name, const QString& programPath, const QStringList& arguments,
                  const QString& iconPath)
{
    const QString exec = execValue(programPath, arguments);
    if (exec.isEmpty() || hasControlCharacter(name))
        return {};
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Version=1.0\n");
    text += QStringLiteral("Name=") + name + QLatin1Char('\n');
    text += QStringLiteral("Comment=Keeps the desktop wallpaper fresh\n"
                           "Comment[ru]=Обновляет обои рабочего стола\n");
    text += QStringLiteral("Exec=") + exec + QLatin1Char('\n');
    if (!iconPath.isEmpty() && !hasControlCharacter(iconPath))
        text += QStringLiteral("Icon=") + QString(iconPath).replace(QLatin1Char('\\'), QStringLiteral("\\\\")) +
                QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    return text;
}

bool add(const QString& name, const QString& programPath, const QStringList& arguments)
{
    const QString path = entryPath(name);
    if (path.isEmpty())
        return false;
    const QString programDir = QFileInfo(programPath).absolutePath();
    QString icon = programDir + QStringLiteral("/icon.png");
    if (!QFileInfo(icon).isFile()) {
        // An installed program goes by the icon theme's name, as its menu entry does.
        const QString themed =
            QDir::cleanPath(programDir + QLatin1Char('/') + QLatin1String(velmora::build::dataDirFromBinary) +
                            QStringLiteral("/../icons/hicolor/256x256/apps/velmora.png"));
        icon = QFileInfo(themed).isFile() ? QStringLiteral("velmora") : QString();
    }
    const QString text = entryText(name, programPath, arguments, icon);
    if (text.isEmpty() || !QDir().mkpath(directory()))
        return false;
    // A link in the entry's place may lead anywhere: the entry replaces it.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool remove(const QString& name)
{
    const QString path = entryPath(name);
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return false;
    return QFile::remove(path);
}

bool exists(const QString& name)
{
    const QString path = entryPath(name);
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace LinuxAutostart
