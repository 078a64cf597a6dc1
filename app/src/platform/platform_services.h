#pragma once

#include <memory>

class QWidget;

// What the operating system does for Velmora. One implementation per OS is
// compiled in (see app/CMakeLists.txt); tests substitute their own.
class PlatformServices
{
public:
    virtual ~PlatformServices();

    // Name of the implementation, for diagnostics.
    virtual const char* name() const = 0;

    // Brings a shown top-level window in front of other applications' windows.
    // Returns false when the system refused.
    virtual bool bringToFront(QWidget* window) = 0;

    // Whether a notification area exists to hide the window into.
    virtual bool hasSystemTray() const = 0;
};

// The implementation for the OS this program was built for.
std::unique_ptr<PlatformServices> createPlatformServices();
