#include "startup_manager.h"

#include "platform/platform_services.h"

QString StartupManager::entryName()
{
    return QStringLiteral("Velmora");
}

QString StartupManager::startupArgument()
{
    return QStringLiteral("--startup");
}

bool StartupManager::addToWindowsStartup(PlatformServices& platform, const QString& appName, const QString& programPath)
{
    return platform.addStartupEntry(appName, programPath, {startupArgument()});
}

bool StartupManager::removeFromWindowsStartup(PlatformServices& platform, const QString& appName)
{
    return platform.removeStartupEntry(appName);
}

bool StartupManager::isInWindowsStartup(const PlatformServices& platform, const QString& appName)
{
    return platform.hasStartupEntry(appName);
}
