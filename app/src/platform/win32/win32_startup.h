#pragma once

#include <string>

// Start at log-on through the current user's Run key
// (HKEY_CURRENT_USER "SOFTWARE\Microsoft\Windows\CurrentVersion\Run"), free of
// Qt types so that it builds and is tested on its own with mingw-w64 under
// wine. The key belongs to Windows: it is opened, never created.
namespace win32 {

// The value's data for a program: its path (native separators) in double
// quotes, a blank and the arguments, e.g. "\"C:\Apps\x.exe\" --startup".
std::wstring startupCommandLine(const std::wstring& programPath, const std::wstring& arguments);

// Sets the value `name` to commandLine as REG_SZ. False when the key cannot
// be opened for setting values or the value cannot be written.
bool addToStartup(const std::wstring& name, const std::wstring& commandLine);

// Deletes the value `name`. False when the key cannot be opened or there was
// no such value.
bool removeFromStartup(const std::wstring& name);

// Whether a value `name` exists, whatever its type or data.
bool isInStartup(const std::wstring& name);

} // namespace win32
