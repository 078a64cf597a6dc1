#pragma once

#include <QString>

// Whether a file name read back from a change log or the settings may be
// joined to a folder path: not empty, not "." or "..", and free of path
// separators, drive or stream colons and control characters, so that the
// joined path stays inside that folder.
bool isSafeLocalFileName(const QString& name);
