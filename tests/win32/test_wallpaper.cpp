#include "win32_desktop_wallpaper.h"
#include "win32_wallpaper.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Records what is asked of the shell's object; answers SetWallpaper with a
// chosen HRESULT.
class FakeDesktopWallpaper final : public win32::IDesktopWallpaper
{
public:
    explicit FakeDesktopWallpaper(HRESULT answer) : answer(answer) {}

    HRESULT answer;
    std::vector<std::optional<std::wstring>> monitors; // nullopt = null monitor ID
    std::vector<std::wstring> paths;
    int references = 1;
    int releases = 0;
    int otherCalls = 0;
    std::vector<std::string> order;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        ++otherCalls;
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        ++otherCalls;
        return static_cast<ULONG>(++references);
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ++releases;
        order.push_back("Release");
        return static_cast<ULONG>(--references);
    }
    HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR monitorId, LPCWSTR wallpaper) override
    {
        monitors.push_back(monitorId ? std::optional<std::wstring>(monitorId) : std::nullopt);
        paths.push_back(wallpaper ? wallpaper : L"");
        order.push_back("SetWallpaper");
        return answer;
    }
    HRESULT STDMETHODCALLTYPE GetWallpaper(LPCWSTR, LPWSTR*) override { return other(); }
    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathAt(UINT, LPWSTR*) override { return other(); }
    HRESULT STDMETHODCALLTYPE GetMonitorDevicePathCount(UINT*) override { return other(); }
    HRESULT STDMETHODCALLTYPE GetMonitorRECT(LPCWSTR, RECT*) override { return other(); }
    HRESULT STDMETHODCALLTYPE SetBackgroundColor(COLORREF) override { return other(); }
    HRESULT STDMETHODCALLTYPE GetBackgroundColor(COLORREF*) override { return other(); }
    HRESULT STDMETHODCALLTYPE SetPosition(int) override { return other(); }
    HRESULT STDMETHODCALLTYPE GetPosition(int*) override { return other(); }
    HRESULT STDMETHODCALLTYPE SetSlideshow(IUnknown*) override { return other(); }
    HRESULT STDMETHODCALLTYPE GetSlideshow(IUnknown**) override { return other(); }
    HRESULT STDMETHODCALLTYPE SetSlideshowOptions(int, UINT) override { return other(); }
    HRESULT STDMETHODCALLTYPE GetSlideshowOptions(int*, UINT*) override { return other(); }
    HRESULT STDMETHODCALLTYPE AdvanceSlideshow(LPCWSTR, int) override { return other(); }
    HRESULT STDMETHODCALLTYPE GetStatus(int*) override { return other(); }
    HRESULT STDMETHODCALLTYPE Enable(BOOL) override { return other(); }

private:
    HRESULT other()
    {
        ++otherCalls;
        return E_NOTIMPL;
    }
};

bool comInitialised()
{
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    return CoGetApartmentType(&type, &qualifier) == S_OK;
}

std::wstring currentWallpaper()
{
    wchar_t buffer[MAX_PATH] = {};
    if (!SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, buffer, 0))
        return L"<failed>";
    return buffer;
}

// A REG_SZ value under HKCU "Control Panel\Desktop": its type, byte count
// and text, or nullopt when it is missing.
struct RegistryString
{
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
};

std::optional<RegistryString> desktopValue(const wchar_t* name)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryString value;
    wchar_t buffer[MAX_PATH] = {};
    value.bytes = sizeof(buffer);
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer), &value.bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    value.text = buffer;
    return value;
}

void deleteDesktopValue(const wchar_t* name)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
}

const std::wstring kPath = L"C:\\Users\\Zoë\\AppData\\Local\\Temp\\Velmora\\обои 1.bmp";

} // namespace

struct HresultCase
{
    HRESULT answer;
    bool expected;
};

class Win32WallpaperObject : public testing::TestWithParam<HresultCase>
{
};

TEST_P(Win32WallpaperObject, OneSetWallpaperOnEveryMonitorThenOneRelease)
{
    FakeDesktopWallpaper fake(GetParam().answer);
    int creations = 0;
    bool comDuringCreation = false;
    const bool result = win32::setWallpaper(kPath, [&](win32::IDesktopWallpaper** object) {
        ++creations;
        comDuringCreation = comInitialised();
        *object = &fake;
        return S_OK;
    });

    EXPECT_EQ(result, GetParam().expected);
    EXPECT_EQ(creations, 1);
    EXPECT_TRUE(comDuringCreation);
    ASSERT_EQ(fake.paths.size(), 1u);
    EXPECT_EQ(fake.paths[0], kPath);
    EXPECT_FALSE(fake.monitors[0].has_value());
    EXPECT_EQ(fake.order, (std::vector<std::string>{"SetWallpaper", "Release"}));
    EXPECT_EQ(fake.references, 0);
    EXPECT_EQ(fake.otherCalls, 0);
    // The thread's COM initialisation was undone.
    EXPECT_FALSE(comInitialised());
}

INSTANTIATE_TEST_SUITE_P(ResultFollowsHresult, Win32WallpaperObject,
                         testing::Values(HresultCase{S_OK, true}, HresultCase{S_FALSE, true},
                                         HresultCase{E_FAIL, false}, HresultCase{E_ACCESSDENIED, false},
                                         HresultCase{HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), false}));

TEST(Win32Wallpaper, FailedCreationFallsBackWithoutTouchingTheProfile)
{
    ASSERT_TRUE(win32::setSpannedWallpaper(L"C:\\composite_before.bmp"));

    int creations = 0;
    EXPECT_TRUE(win32::setWallpaper(kPath, [&](win32::IDesktopWallpaper** object) {
        ++creations;
        *object = nullptr;
        return REGDB_E_CLASSNOTREG;
    }));

    EXPECT_EQ(creations, 1);
    EXPECT_EQ(currentWallpaper(), kPath);
    // Flags 2 only: broadcast, but the saved wallpaper is the composite's.
    const auto saved = desktopValue(L"Wallpaper");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->text, L"C:\\composite_before.bmp");
    EXPECT_FALSE(comInitialised());
}

TEST(Win32Wallpaper, WithoutTheShellClassTheSystemCallIsUsed)
{
    // Wine has no desktop-wallpaper class: the real creation fails.
    win32::IDesktopWallpaper* object = nullptr;
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_TRUE(FAILED(win32::createDesktopWallpaper(&object)));
    EXPECT_EQ(object, nullptr);
    CoUninitialize();

    const std::wstring path = L"C:\\Velmora\\single.bmp";
    EXPECT_TRUE(win32::setWallpaper(path));
    EXPECT_EQ(currentWallpaper(), path);
    EXPECT_FALSE(comInitialised());
}

TEST(Win32Wallpaper, CallerInitialisationIsKeptInEitherApartment)
{
    // The same apartment (S_FALSE): balanced, the caller's stays.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_TRUE(win32::setWallpaper(L"C:\\Velmora\\sta.bmp"));
    EXPECT_TRUE(comInitialised());
    CoUninitialize();
    EXPECT_FALSE(comInitialised());

    // A multithreaded caller (RPC_E_CHANGED_MODE): nothing to undo.
    std::thread other([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        bool created = false;
        FakeDesktopWallpaper fake(S_OK);
        EXPECT_TRUE(win32::setWallpaper(L"C:\\Velmora\\mta.bmp", [&](win32::IDesktopWallpaper** object) {
            created = true;
            *object = &fake;
            return S_OK;
        }));
        EXPECT_TRUE(created);
        EXPECT_EQ(fake.releases, 1);
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
        EXPECT_EQ(type, APTTYPE_MTA);
        CoUninitialize();
        EXPECT_FALSE(comInitialised());
    });
    other.join();
}

TEST(Win32Wallpaper, SpanStyleWritesBothStrings)
{
    deleteDesktopValue(L"TileWallpaper");
    deleteDesktopValue(L"WallpaperStyle");

    EXPECT_TRUE(win32::setSpanStyle());

    const auto tile = desktopValue(L"TileWallpaper");
    ASSERT_TRUE(tile.has_value());
    EXPECT_EQ(tile->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(tile->bytes, 4u); // "0" and its NUL, UTF-16
    EXPECT_EQ(tile->text, L"0");
    const auto style = desktopValue(L"WallpaperStyle");
    ASSERT_TRUE(style.has_value());
    EXPECT_EQ(style->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(style->bytes, 6u);
    EXPECT_EQ(style->text, L"22");
}

TEST(Win32Wallpaper, SpanStyleFailsWhenTheKeyCannotBeOpened)
{
    // A user hive without "Control Panel\Desktop": the key is not created.
    HKEY emptyHive;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VelmoraTest\\EmptyHive", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &emptyHive, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, emptyHive), ERROR_SUCCESS);

    const bool result = win32::setSpanStyle();

    HKEY created;
    const LONG probe = RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel", 0, KEY_READ, &created);
    if (probe == ERROR_SUCCESS)
        RegCloseKey(created);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(emptyHive);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelmoraTest");

    EXPECT_FALSE(result);
    EXPECT_EQ(probe, ERROR_FILE_NOT_FOUND);
}

TEST(Win32Wallpaper, CompositeIsSavedInTheProfile)
{
    const std::wstring path = L"C:\\Users\\Zoë\\AppData\\Local\\Temp\\Velmora\\composite_wallpaper.bmp";
    EXPECT_TRUE(win32::setSpannedWallpaper(path));
    EXPECT_EQ(currentWallpaper(), path);
    const auto saved = desktopValue(L"Wallpaper");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->text, path);
}
