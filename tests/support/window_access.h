#pragma once

#include "modern_window.h"

// Reaches the main window's private state from tests.
class ModernWindowTestAccess
{
public:
    static QMap<QString, int>& categoryRatings(ModernWindow& w) { return w.categoryRatings; }
    static QSet<QString>& excludedCategories(ModernWindow& w) { return w.excludedCategories; }
};
