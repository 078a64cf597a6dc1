#pragma once

#include <QString>

// The storage places of the program. Directory getters create what is missing
// on every call and still return the path when that fails: the later file
// operation reports the failure instead.
class PathHelper
{
public:
    static QString getWallpapersDirectory();
    static QString getHistoryDirectory();
    // Copies of the pictures the user marked as favourites, beside the wallpapers folder.
    static QString getFavouritesDirectory();
    static QString getCategoriesCachePath();
    static QString getThumbnailsCacheDirectory();
    // A monitor's own folder of filed pictures, and its change log, named
    // after the monitor's unique id. Only paths: nothing is created.
    static QString monitorFolderPath(const QString& wallpapersDirectory, const QString& screenId);
    static QString monitorLogPath(const QString& historyDirectory, const QString& screenId);
    // Downloads in progress and the composite. On Linux a folder only this
    // user can enter: "Velmora" in the session's runtime folder, else
    // "Velmora-<uid>" in the temporary folder (a fresh private folder when
    // another user or a link holds that name). Created if missing.
    static QString getTemporaryDirectory();
    // The same folder when it exists and is ours, else "": nothing is created.
    static QString existingTemporaryDirectory();
};
