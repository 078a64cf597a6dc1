#pragma once

#include <unknwn.h>
#include <windows.h>

#include <functional>
#include <string>

// The shell's desktop-wallpaper COM object, declared here because not every
// SDK in use exposes it (and some only for newer target versions).
namespace win32 {

extern const CLSID kDesktopWallpaperClassId;   // {C2CF3110-460E-4FC1-B9D0-8A1C0C9CC4BD}
extern const IID kDesktopWallpaperInterfaceId; // {B92B56A9-8B55-4E14-9A89-0199BBB6F93B}

// Vtable order is the documented one; only SetWallpaper is ever called, so
// the other slots keep plain parameter types.
struct IDesktopWallpaper : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE SetWallpaper(LPCWSTR monitorId, LPCWSTR wallpaper) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWallpaper(LPCWSTR monitorId, LPWSTR* wallpaper) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMonitorDevicePathAt(UINT monitorIndex, LPWSTR* monitorId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMonitorDevicePathCount(UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMonitorRECT(LPCWSTR monitorId, RECT* displayRect) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBackgroundColor(COLORREF color) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBackgroundColor(COLORREF* color) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPosition(int position) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPosition(int* position) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSlideshow(IUnknown* items) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSlideshow(IUnknown** items) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSlideshowOptions(int options, UINT slideshowTick) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSlideshowOptions(int* options, UINT* slideshowTick) = 0;
    virtual HRESULT STDMETHODCALLTYPE AdvanceSlideshow(LPCWSTR monitorId, int direction) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(int* state) = 0;
    virtual HRESULT STDMETHODCALLTYPE Enable(BOOL enable) = 0;
};

// Creates the object, with COM already initialised on the calling thread.
// On success *object holds one reference for the caller.
using DesktopWallpaperFactory = std::function<HRESULT(IDesktopWallpaper** object)>;

// CoCreateInstance of the shell's class, in-process.
HRESULT createDesktopWallpaper(IDesktopWallpaper** object);

// setWallpaper with the object's creation replaced.
bool setWallpaper(const std::wstring& imagePath, const DesktopWallpaperFactory& create);

} // namespace win32
