// Which screens a change targets, and what the selector's changes do to the window.

#include "modern_window.h"

#include "widgets/countdown_widget.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QLabel>
#include <QPushButton>
#include <QStringList>

bool ModernWindow::isMultiScreenMode() const
{
    return multiScreenToggle && multiScreenToggle->isChecked() && screenSelector && screenSelector->screenCount() > 1;
}

void ModernWindow::initializeScreenDeselectionStates() {}

void ModernWindow::showMultiScreenWarningDialog(const QList<int>& selectedScreens)
{
    applyHistoryImageToScreens(selectedScreens);
}

void ModernWindow::onMultiScreenToggled(bool enabled)
{
    if (screenSelector) {
        if (enabled && screenSelector->screenCount() > 1) {
            screenSelector->show();
            onScreenSelectionChanged(screenSelector->getSelectedScreens());
        } else {
            screenSelector->hide();
            statusLabel->setText(QStringLiteral("Нажмите, чтобы изменить обои"));
        }
    }
    updateAdjustmentOptions(enabled);
}

void ModernWindow::onScreenSelectionChanged(const QList<int>& selectedScreens)
{
    const bool hasSelection = !selectedScreens.isEmpty();
    changeNowButton->setEnabled(hasSelection);
    if (countdownWidget) {
        if (hasSelection)
            countdownWidget->resumeCountdown();
        else
            countdownWidget->pauseCountdown();
    }
    if (!screenSelector || screenSelector->screenCount() <= 1)
        return;
    if (selectedScreens.size() == 1) {
        statusLabel->setText(QStringLiteral("Выбран экран: %1").arg(selectedScreens.first() + 1));
    } else if (!hasSelection) {
        statusLabel->setText(QStringLiteral("Нет выбранных экранов\nВыберите хотя бы один экран"));
    } else {
        QStringList numbers;
        for (int screen : selectedScreens)
            numbers.append(QString::number(screen + 1));
        statusLabel->setText(QStringLiteral("Выбраны экраны: ") + numbers.join(QStringLiteral(", ")));
    }
}

void ModernWindow::onScreenDeselectionBlocked(int screenIndex)
{
    Q_UNUSED(screenIndex);
}
