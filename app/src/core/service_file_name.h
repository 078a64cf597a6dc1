#pragma once

#include <QString>

// Longest wallpaper file name accepted from the service. Local copies live a
// few folders deep, and Windows paths stay short of MAX_PATH with this bound.
inline constexpr qsizetype maxServiceFileNameLength = 128;

// Whether a file name given by the wallpaper service ("filename",
// "thumbnail", the last URL segment) can be used as a local file name as it
// stands: not empty, bounded, no path separator or drive/stream colon, not
// "." or "..", no control character, none of the characters Windows refuses,
// no trailing dot or space (Windows would silently strip them) and no
// reserved device name such as "NUL" or "com1.jpg".
//
// Shared with velmora-service, which publishes only names that pass it.
bool isSafeServiceFileName(const QString& name);
