#include "win32_startup.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const wchar_t* const kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kName = L"VelmoraStartupTest";

struct RunValue
{
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
};

std::optional<RunValue> runValue(const wchar_t* name)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RunValue value;
    std::vector<wchar_t> buffer(1024, L'\0');
    value.bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer.data()), &value.bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    value.text = buffer.data();
    return value;
}

// Windows always has the Run key; a fresh wine prefix may not.
class Win32Startup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegDeleteValueW(key, kName);
        RegCloseKey(key);
    }
    void TearDown() override
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, kName);
            RegCloseKey(key);
        }
    }
};

} // namespace

TEST(Win32StartupCommandLine, QuotedPathThenArguments)
{
    EXPECT_EQ(win32::startupCommandLine(L"C:\\Apps\\x.exe", L"--startup"), L"\"C:\\Apps\\x.exe\" --startup");
    EXPECT_EQ(win32::startupCommandLine(L"C:\\Program Files\\Velmora\\velmora.exe", L""),
              L"\"C:\\Program Files\\Velmora\\velmora.exe\"");
}

TEST_F(Win32Startup, AddWritesTheCommandLineAsOneString)
{
    const std::wstring line = win32::startupCommandLine(L"C:\\Users\\Zoë\\Программы\\velmora.exe", L"--startup");
    ASSERT_TRUE(win32::addToStartup(kName, line));

    const auto value = runValue(kName);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->bytes, static_cast<DWORD>(line.size() * 2 + 2));
    EXPECT_EQ(value->text, line);
    EXPECT_TRUE(win32::isInStartup(kName));

    // A moved program registers its new place over the old one.
    ASSERT_TRUE(win32::addToStartup(kName, L"\"D:\\x.exe\" --startup"));
    EXPECT_EQ(runValue(kName)->text, L"\"D:\\x.exe\" --startup");
}

TEST_F(Win32Startup, RemoveDeletesOnlyAnExistingValue)
{
    ASSERT_TRUE(win32::addToStartup(kName, L"\"C:\\Apps\\x.exe\" --startup"));
    EXPECT_TRUE(win32::removeFromStartup(kName));
    EXPECT_FALSE(runValue(kName).has_value());
    EXPECT_FALSE(win32::isInStartup(kName));
    // Nothing left to remove: reported, nothing else happens.
    EXPECT_FALSE(win32::removeFromStartup(kName));
}

TEST_F(Win32Startup, AnyValueOfTheNameCounts)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueExW(key, kName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(win32::isInStartup(kName));

    ASSERT_TRUE(win32::addToStartup(kName, L"\"C:\\Elsewhere\\other.exe\""));
    EXPECT_TRUE(win32::isInStartup(kName));
}

TEST(Win32StartupWithoutRunKey, EveryOperationFailsAndNothingIsCreated)
{
    // A user hive without the Run key: it is never created.
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

    EXPECT_FALSE(added);
    EXPECT_FALSE(removed);
    EXPECT_FALSE(present);
    EXPECT_EQ(probe, ERROR_FILE_NOT_FOUND);
}
