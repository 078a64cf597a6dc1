#pragma once

#include <QList>
#include <QMap>
#include <QString>

class QSettings;

// Per screen index, the full paths of the last images applied to that
// monitor, newest first, as kept in memory and in the settings group
// "ScreenHistory" (one array "Screen<index>" of "imagePath" values).
using RecentFilesLists = QMap<int, QList<QString>>;

class RecentFiles
{
public:
    static constexpr int maxEntries = 8;

    // Puts the path first (duplicates allowed) and takes one entry off the end
    // when the list has grown past maxEntries. Returns that entry, or an empty
    // string.
    static QString prepend(QList<QString>& list, const QString& path);

    // Whether any list holds exactly this path (case-sensitive).
    static bool isListed(const RecentFilesLists& lists, const QString& path);

    // Whether the path names a file directly inside a monitor's folder of the
    // wallpapers directory, the only place these lists point to.
    static bool isFiledWallpaperPath(const QString& path, const QString& wallpapersDirectory);

    // Replaces the whole group with the lists, screen indices ascending.
    static void save(QSettings& settings, const RecentFilesLists& lists);

    struct Loaded
    {
        // Lists that kept at least one existing file.
        RecentFilesLists lists;
        // Every screen index that had a stored array, kept entries or not.
        QList<int> screens;
    };
    // Reads the group back, keeping the stored paths that are filed wallpapers
    // and still exist; of each array only the first maxEntries are read.
    static Loaded load(QSettings& settings, const QString& wallpapersDirectory);
};
