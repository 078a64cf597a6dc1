#include "win32_startup.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

const wchar_t* const kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kName = L"VelmoraStartupTest";

// The value's type, byte count and text; type 0 when it is missing.
struct RunValue
{
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
};

RunValue runValue()
{
    RunValue value;
    wchar_t buffer[512] = {};
    value.bytes = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kName, RRF_RT_ANY | RRF_NOEXPAND, &value.type, buffer, &value.bytes) !=
        ERROR_SUCCESS)
        return {};
    value.text = buffer;
    return value;
}

} // namespace

TEST(Win32Startup, ValueFollowsAddAndRemove)
{
    // Windows always has the Run key; a fresh wine prefix may not.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring line = win32::startupCommandLine(L"C:\\Users\\Zoë\\Программы\\x.exe", L"--startup");
    EXPECT_EQ(line, L"\"C:\\Users\\Zoë\\Программы\\x.exe\" --startup");

    ASSERT_TRUE(win32::addToStartup(kName, line));
    const RunValue written = runValue();
    EXPECT_EQ(written.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(written.bytes, static_cast<DWORD>(line.size() * 2 + 2));
    EXPECT_EQ(written.text, line);
    EXPECT_TRUE(win32::isInStartup(kName));

    // Any value of the name counts, whatever its type or data.
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueExW(key, kName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)),
              ERROR_SUCCESS);
    EXPECT_TRUE(win32::isInStartup(kName));

    EXPECT_TRUE(win32::removeFromStartup(kName));
    EXPECT_EQ(runValue().type, 0u);
    EXPECT_FALSE(win32::isInStartup(kName));
    EXPECT_FALSE(win32::removeFromStartup(kName));
    RegCloseKey(key);
}

TEST(Win32Startup, WithoutTheRunKeyEverythingFailsAndNothingIsCreated)
{
    HKEY emptyHive;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VelmoraTest\\EmptyHive", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &emptyHive, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, emptyHive), ERROR_SUCCESS);
    const bool added = win32::addToStartup(kName, L"\"C:\\Apps\\x.exe\" --startup");
    const bool removed = win32::removeFromStartup(kName);
    const bool present = win32::isInStartup(kName);
    HKEY created;
    const LONG probe = RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE", 0, KEY_READ, &created);
    if (probe == ERROR_SUCCESS)
        RegCloseKey(created);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(emptyHive);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraTest");

    EXPECT_FALSE(added || removed || present);
    EXPECT_EQ(probe, ERROR_FILE_NOT_FOUND);
}
