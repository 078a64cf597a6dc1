#include "win32_wallpaper.h"

#include "win32_desktop_wallpaper.h"

#include <objbase.h>

#include <memory>

namespace win32 {

const CLSID kDesktopWallpaperClassId = {0xC2CF3110, 0x460E, 0x4FC1, {0xB9, 0xD0, 0x8A, 0x1C, 0x0C, 0x9C, 0xC4, 0xBD}};
const IID kDesktopWallpaperInterfaceId = {0xB92B56A9, 0x8B55, 0x4E14, {0x9A, 0x89, 0x01, 0x99, 0xBB, 0xB6, 0xF9, 0x3B}};

namespace {

constexpr UINT kUpdateFlagsSingleImage = SPIF_SENDWININICHANGE;
constexpr UINT kUpdateFlagsComposite = SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE;

// COM for the calling thread. Any success code (S_OK, or S_FALSE when the
// thread already had the same apartment) must be balanced; a failure such as
// RPC_E_CHANGED_MODE left the caller's own initialisation in place and must not
// be undone.
class ComInitialization
{
public:
    ComInitialization() : m_initialised(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComInitialization() { release(); }
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;

    void release()
    {
        if (m_initialised)
            CoUninitialize();
        m_initialised = false;
    }

private:
    bool m_initialised;
};

struct ComRelease
{
    void operator()(IUnknown* object) const { object->Release(); }
};

class RegistryKey
{
public:
    explicit RegistryKey(HKEY key) : m_key(key) {}
    ~RegistryKey() { RegCloseKey(m_key); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY get() const { return m_key; }

private:
    HKEY m_key;
};

bool systemWallpaper(const std::wstring& path, UINT updateFlags)
{
    // The action only reads the string, but its parameter is not const.
    return SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(path.c_str()), updateFlags) != FALSE;
}

bool writeString(HKEY key, const wchar_t* name, const std::wstring& value)
{
    // REG_SZ data counts its terminating NUL.
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

} // namespace

HRESULT createDesktopWallpaper(IDesktopWallpaper** object)
{
    return CoCreateInstance(kDesktopWallpaperClassId, nullptr, CLSCTX_INPROC_SERVER, kDesktopWallpaperInterfaceId,
                            reinterpret_cast<void**>(object));
}

bool setWallpaper(const std::wstring& imagePath, const DesktopWallpaperFactory& create)
{
    ComInitialization com;
    IDesktopWallpaper* created = nullptr;
    const HRESULT creation = create(&created);
    if (FAILED(creation) || !created) {
        if (created)
            created->Release();
        com.release();
        return systemWallpaper(imagePath, kUpdateFlagsSingleImage);
    }
    HRESULT result;
    {
        const std::unique_ptr<IDesktopWallpaper, ComRelease> wallpaper(created);
        // A null monitor ID means every monitor.
        result = wallpaper->SetWallpaper(nullptr, imagePath.c_str());
    }
    com.release();
    return SUCCEEDED(result);
}

bool setWallpaper(const std::wstring& imagePath)
{
    return setWallpaper(imagePath, createDesktopWallpaper);
}

bool setSpanStyle()
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    const RegistryKey key(opened);
    // Both are attempted: one failed write must not keep the other back.
    const bool tile = writeString(key.get(), L"TileWallpaper", L"0");
    const bool style = writeString(key.get(), L"WallpaperStyle", L"22");
    return tile && style;
}

bool setSpannedWallpaper(const std::wstring& compositePath)
{
    return systemWallpaper(compositePath, kUpdateFlagsComposite);
}

} // namespace win32
