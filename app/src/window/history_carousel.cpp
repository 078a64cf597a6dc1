// The history strip at the bottom of the wallpaper tab.

#include "modern_window.h"

void ModernWindow::applyHistoryImageToScreens(const QList<int>& screens)
{
    Q_UNUSED(screens);
}
