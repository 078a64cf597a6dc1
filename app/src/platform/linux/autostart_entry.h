#pragma once

#include <QString>
#include <QStringList>

// Start at log-on on Linux: a freedesktop autostart entry
// "<name in lower case>.desktop" in $XDG_CONFIG_HOME/autostart (by default
// ~/.config/autostart), which session managers run when the user logs on.
namespace LinuxAutostart {

// The autostart folder, from XDG_CONFIG_HOME when it holds an absolute path,
// otherwise ~/.config.
QString directory();

// Where the entry of that name lives; empty for a name that cannot be a file
// name (only letters, digits, '-', '_' and '.' are taken).
QString entryPath(const QString& name);

// The Exec value that runs the program with the arguments: every argument
// that needs it quoted, and escaped as a desktop entry's string. Empty when a
// character cannot be written (control characters).
QString execValue(const QString& programPath, const QStringList& arguments);

// The whole entry file's text; empty when the Exec value cannot be written.
// iconPath is left out when empty.
QString entryText(const QString& name, const QString& programPath, const QStringList& arguments,
                  const QString& iconPath);

// Writes the entry whole or not at all (a link in its place is replaced,
// never followed). False when the folder or the file cannot be written.
bool add(const QString& name, const QString& programPath, const QStringList& arguments);

// Deletes the entry. False when there was none or it cannot be removed.
bool remove(const QString& name);

// Whether an entry of that name exists, whatever it holds.
bool exists(const QString& name);

} // namespace LinuxAutostart
