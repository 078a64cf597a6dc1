#pragma once

#include <QString>

// A settings file that holds something other than the text the settings
// library writes (binary data, text that is not UTF-8) would be overwritten
// by the next save, and whatever the user could still recover from it lost.
namespace SettingsFile {

// Whether the file at path exists as a regular file whose bytes cannot be
// settings text: a NUL byte, or not UTF-8. A file that cannot be opened for
// reading counts too, and so does a FIFO, socket or device. Missing files,
// folders and links do not.
bool isDamaged(const QString& path);

// Renames a damaged file to "<path>.damaged-<yyyyMMdd-hhmmss>" (a number is
// added when that exists) so that the program starts afresh beside it.
// Returns the new path, or an empty string when the file was not damaged or
// could not be moved.
QString setAsideIfDamaged(const QString& path);

// The path of the user's settings file, found without opening the settings:
// the settings library reads its file as soon as it is opened, and would
// wait forever on a FIFO there.
QString userSettingsPath();

} // namespace SettingsFile
