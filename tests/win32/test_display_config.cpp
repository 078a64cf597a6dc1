#include "win32_display_config.h"

#include <gtest/gtest.h>
#include <windows.h>

// The record is passed with its full size in its header.
static_assert(sizeof(DISPLAYCONFIG_TARGET_DEVICE_NAME) == 420);

using win32::activePathPosition;
using win32::DisplayTargetStatus;

TEST(Win32DisplayConfig, ScreensMatchActivePathsByPosition)
{
    const std::uint32_t active = DISPLAYCONFIG_PATH_ACTIVE;
    const std::vector<std::uint32_t> flags{active, 0, active | 0x4, 0, active};
    EXPECT_EQ(activePathPosition(flags, 0), 0);
    EXPECT_EQ(activePathPosition(flags, 1), 2);
    EXPECT_EQ(activePathPosition(flags, 2), 4);
    EXPECT_EQ(activePathPosition(flags, 3), -1);
    EXPECT_EQ(activePathPosition(flags, -1), -1);
    EXPECT_EQ(activePathPosition({}, 0), -1);
    EXPECT_EQ(activePathPosition({0, 0}, 0), -1);
}

TEST(Win32DisplayConfig, FriendlyNameStopsAtTerminatorOrCapacity)
{
    wchar_t buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), L'x');
    EXPECT_EQ(win32::wideStringFromBuffer(buffer, 64).size(), 64u);

    wcscpy(buffer, L"DELL U2720Q (DP)");
    EXPECT_EQ(win32::wideStringFromBuffer(buffer, 64), std::wstring(L"DELL U2720Q (DP)"));
    buffer[0] = L'\0';
    EXPECT_TRUE(win32::wideStringFromBuffer(buffer, 64).empty());
    EXPECT_TRUE(win32::wideStringFromBuffer(nullptr, 64).empty());
}

TEST(Win32DisplayConfig, WalkIsConsistentAcrossCalls)
{
    // Whatever the display configuration holds here (a virtual display or
    // none), the same question gets the same answer and nothing crashes.
    for (int index = 0; index < 4; ++index) {
        const win32::DisplayTarget first = win32::findDisplayTarget(index);
        const win32::DisplayTarget second = win32::findDisplayTarget(index);
        EXPECT_EQ(first.status, second.status) << index;
        EXPECT_EQ(first.friendlyName, second.friendlyName) << index;
        EXPECT_EQ(first.adapterIdHighPart, second.adapterIdHighPart) << index;
        EXPECT_EQ(first.targetId, second.targetId) << index;
        EXPECT_EQ(first.friendlyName.find(L'\0'), std::wstring::npos);
        if (first.status != DisplayTargetStatus::Named) {
            EXPECT_TRUE(first.friendlyName.empty());
            EXPECT_EQ(first.targetId, 0u);
        }
    }
}

TEST(Win32DisplayConfig, PositionsOutsideTheConfigurationAreNotNamed)
{
    EXPECT_NE(win32::findDisplayTarget(-1).status, DisplayTargetStatus::Named);
    EXPECT_NE(win32::findDisplayTarget(1000).status, DisplayTargetStatus::Named);
}
