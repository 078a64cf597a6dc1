// Re-applying every monitor's own picture when monitors come, go or move.

#include "modern_window.h"

void ModernWindow::onDisplayConfigurationChanged() {}
