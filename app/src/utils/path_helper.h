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
    static QString getCategoriesCachePath();
    static QString getThumbnailsCacheDirectory();
    static QString getTemporaryDirectory();
};
