#include "recent_files.h"

#include "service_file_name.h"
#include "settings_keys.h"

#include <QFileInfo>
#include <QSettings>

namespace {
constexpr QLatin1StringView groupName = SettingsKeys::ScreenHistoryGroup;
constexpr QLatin1StringView arrayPrefix = SettingsKeys::ScreenHistoryArrayPrefix;
constexpr QLatin1StringView pathKey = SettingsKeys::ScreenHistoryImagePath;
} // namespace

QString RecentFiles::prepend(QList<QString>& list, const QString& path)
{
    list.prepend(path);
    if (list.size() > maxEntries)
        return list.takeLast();
    return {};
}

bool RecentFiles::isListed(const RecentFilesLists& lists, const QString& path)
{
    for (const QList<QString>& list : lists) {
        if (list.contains(path))
            return true;
    }
    return false;
}

bool RecentFiles::isFiledWallpaperPath(const QString& path, const QString& wallpapersDirectory)
{
    const QString prefix = wallpapersDirectory + QLatin1Char('/');
    if (wallpapersDirectory.isEmpty() || !path.startsWith(prefix))
        return false;
    const QStringList parts = path.mid(prefix.size()).split(QLatin1Char('/'));
    return parts.size() == 2 && isSafeServiceFileName(parts[0]) && isSafeServiceFileName(parts[1]);
}

void RecentFiles::save(QSettings& settings, const RecentFilesLists& lists)
{
    settings.remove(groupName);
    settings.beginGroup(groupName);
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        settings.beginWriteArray(arrayPrefix + QString::number(it.key()));
        const QList<QString>& list = it.value();
        for (qsizetype i = 0; i < list.size(); ++i) {
            settings.setArrayIndex(int(i));
            settings.setValue(pathKey, list[i]);
        }
        settings.endArray();
    }
    settings.endGroup();
}

RecentFiles::Loaded RecentFiles::load(QSettings& settings, const QString& wallpapersDirectory)
{
    Loaded loaded;
    settings.beginGroup(groupName);
    const QStringList groups = settings.childGroups();
    for (const QString& group : groups) {
        if (!group.startsWith(arrayPrefix))
            continue;
        bool ok = false;
        const int screen = group.mid(arrayPrefix.size()).toInt(&ok);
        if (!ok)
            continue;
        QList<QString> kept;
        // A list never holds more than maxEntries: a damaged or hostile size
        // must not make the start-up read billions of keys, and what lies
        // beyond it was never ours.
        const int size = qBound(0, settings.beginReadArray(group), maxEntries);
        for (int i = 0; i < size; ++i) {
            settings.setArrayIndex(i);
            const QString path = settings.value(pathKey).toString();
            // A path that points elsewhere would later be deleted when it drops off the list.
            if (isFiledWallpaperPath(path, wallpapersDirectory) && QFileInfo(path).isFile())
                kept.append(path);
        }
        settings.endArray();
        if (!kept.isEmpty())
            loaded.lists.insert(screen, kept);
        loaded.screens.append(screen);
    }
    settings.endGroup();
    return loaded;
}
