#pragma once

#include <QString>

class PlatformServices;

// Start at log-on for Velmora: the entry's name, the program it runs and the
// argument that marks such a start. Holds no data; the system keeps the entry
// (the user's Run key on Windows, the autostart folder on Linux) and the
// platform layer reaches it.
class StartupManager
{
public:
    StartupManager() = default;

    // The entry's name, "Velmora".
    static QString entryName();
    // The argument with which the entry starts the program, "--startup".
    static QString startupArgument();

    // Writes the entry afresh: programPath run with "--startup".
    static bool addToWindowsStartup(PlatformServices& platform, const QString& appName, const QString& programPath);
    // False also when there was no entry.
    static bool removeFromWindowsStartup(PlatformServices& platform, const QString& appName);
    // True when an entry of that name exists, whatever it runs.
    static bool isInWindowsStartup(const PlatformServices& platform, const QString& appName);
};
