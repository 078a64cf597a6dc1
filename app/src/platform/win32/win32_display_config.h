#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Identification of monitors through the Windows display configuration, free
// of Qt types so that it builds and is tested on its own under wine.
namespace win32 {

enum class DisplayTargetStatus {
    // The active display configuration could not be read.
    ConfigurationUnreadable,
    // No active path at the screen's position, or the path could not be named.
    NotFound,
    // The target of the screen's path was named.
    Named,
};

struct DisplayTarget
{
    DisplayTargetStatus status = DisplayTargetStatus::NotFound;
    // The monitor's friendly name as Windows reports it; often empty for built-in panels.
    std::wstring friendlyName;
    // targetInfo.adapterId.HighPart of the path.
    std::int32_t adapterIdHighPart = 0;
    // targetInfo.id of the path.
    std::uint32_t targetId = 0;
};

// Reads the active display paths and names the target of the one that belongs
// to the screen at this position: the screenIndex-th active path, counting
// from 0. Qt is assumed to list screens in the order of the active paths.
DisplayTarget findDisplayTarget(int screenIndex);

// Position in pathFlags of the screenIndex-th path carrying
// DISPLAYCONFIG_PATH_ACTIVE, or -1 when there is none.
int activePathPosition(const std::vector<std::uint32_t>& pathFlags, int screenIndex);

// The text of a fixed-size wide-character field up to its first terminator,
// never reading past capacity characters.
std::wstring wideStringFromBuffer(const wchar_t* buffer, std::size_t capacity);

} // namespace win32
