#include "win32_display_config.h"

#include <windows.h>

#include <cwchar>

namespace win32 {

int activePathPosition(const std::vector<std::uint32_t>& pathFlags, int screenIndex)
{
    if (screenIndex < 0)
        return -1;
    int activeCount = 0;
    for (std::size_t i = 0; i < pathFlags.size(); ++i) {
        if (!(pathFlags[i] & DISPLAYCONFIG_PATH_ACTIVE))
            continue;
        if (activeCount == screenIndex)
            return static_cast<int>(i);
        ++activeCount;
    }
    return -1;
}

std::wstring wideStringFromBuffer(const wchar_t* buffer, std::size_t capacity)
{
    if (!buffer)
        return {};
    return std::wstring(buffer, wcsnlen(buffer, capacity));
}

DisplayTarget findDisplayTarget(int screenIndex)
{
    DisplayTarget result;
    UINT32 pathCount = 0;
    UINT32 modeCount = 0;
    if (GetDisplayConfigBufferSizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount) != ERROR_SUCCESS) {
        result.status = DisplayTargetStatus::ConfigurationUnreadable;
        return result;
    }
    std::vector<DISPLAYCONFIG_PATH_INFO> paths(pathCount);
    std::vector<DISPLAYCONFIG_MODE_INFO> modes(modeCount);
    if (QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &pathCount, paths.data(), &modeCount, modes.data(), nullptr) !=
        ERROR_SUCCESS) {
        result.status = DisplayTargetStatus::ConfigurationUnreadable;
        return result;
    }
    paths.resize(pathCount);

    std::vector<std::uint32_t> flags;
    flags.reserve(paths.size());
    for (const DISPLAYCONFIG_PATH_INFO& path : paths)
        flags.push_back(path.flags);
    const int position = activePathPosition(flags, screenIndex);
    if (position < 0)
        return result;

    // A failed naming ends the walk: later paths count on and cannot match.
    const DISPLAYCONFIG_PATH_INFO& path = paths[static_cast<std::size_t>(position)];
    DISPLAYCONFIG_TARGET_DEVICE_NAME name = {};
    name.header.type = DISPLAYCONFIG_DEVICE_INFO_GET_TARGET_NAME;
    name.header.size = sizeof(name);
    name.header.adapterId = path.targetInfo.adapterId;
    name.header.id = path.targetInfo.id;
    if (DisplayConfigGetDeviceInfo(&name.header) != ERROR_SUCCESS)
        return result;

    result.status = DisplayTargetStatus::Named;
    result.friendlyName =
        wideStringFromBuffer(name.monitorFriendlyDeviceName, sizeof(name.monitorFriendlyDeviceName) / sizeof(wchar_t));
    result.adapterIdHighPart = static_cast<std::int32_t>(path.targetInfo.adapterId.HighPart);
    result.targetId = static_cast<std::uint32_t>(path.targetInfo.id);
    return result;
}

} // namespace win32
