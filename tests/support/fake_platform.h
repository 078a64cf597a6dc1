#pragma once

#include "platform/platform_services.h"

#include <QList>

class QWidget;

// Stands in for what Windows or the desktop would do, and records it.
class FakePlatformServices final : public PlatformServices
{
public:
    const char* name() const override { return "fake"; }

    bool bringToFront(QWidget* window) override
    {
        frontRequests.append(window);
        return true;
    }

    bool hasSystemTray() const override { return trayAvailable; }

    bool trayAvailable = true;
    QList<QWidget*> frontRequests;
};
