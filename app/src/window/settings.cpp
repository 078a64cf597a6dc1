// Settings store, settings tab and change schedule, start with the system.

#include "modern_window.h"

#include "widgets/toggle_switch.h"

#include <QTabWidget>
#include <QVBoxLayout>

void ModernWindow::setupSettingsTab()
{
    auto* page = new QWidget(tabWidget);
    auto* layout = new QVBoxLayout(page);
    multiScreenToggle = new ToggleSwitch(page);
    multiScreenToggle->setObjectName(QStringLiteral("multiScreenToggle"));
    multiScreenToggle->setChecked(true);
    layout->addWidget(multiScreenToggle);
    layout->addStretch();
    connect(multiScreenToggle, &ToggleSwitch::toggled, this, &ModernWindow::onMultiScreenToggled);
    tabWidget->addTab(page, QStringLiteral("Настройки"));
}

void ModernWindow::loadSettings()
{
    loadCategoryRatings();
}

void ModernWindow::saveSettings() {}

void ModernWindow::onApplySettings() {}

void ModernWindow::onSettingsChanged() {}

void ModernWindow::onStartupToggled(bool enabled)
{
    Q_UNUSED(enabled);
}

void ModernWindow::updateFrequencyOptions() {}

void ModernWindow::applyStartupSetting(bool enabled)
{
    Q_UNUSED(enabled);
}

bool ModernWindow::checkStartupStatus()
{
    return false;
}

void ModernWindow::updateAdjustmentOptions(bool multiScreenEnabled)
{
    Q_UNUSED(multiScreenEnabled);
}

void ModernWindow::updateAdjustmentExplanation(int index)
{
    Q_UNUSED(index);
}

void ModernWindow::updateCountdownFromSettings() {}
