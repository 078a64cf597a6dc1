// Which screens a change targets, and what the selector's changes do to the window.

#include "modern_window.h"

#include "core/settings_keys.h"
#include "utils/settings_store.h"
#include "widgets/countdown_widget.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

bool ModernWindow::isMultiScreenMode() const
{
    return multiScreenToggle && multiScreenToggle->isChecked() && screenSelector && screenSelector->screenCount() > 1;
}

void ModernWindow::initializeScreenDeselectionStates()
{
    if (!screenSelector)
        return;
    // A screen may be left out of a change only once it has a picture of its own to keep.
    for (int screen = 0; screen < screenSelector->screenCount(); ++screen) {
        if (hasScreenLog(screen))
            screenSelector->setScreenCanBeDeselected(screen, true);
    }
}

bool ModernWindow::showMultiScreenWarningDialog(const QList<int>& selectedScreens)
{
    QMessageBox box(this);
    box.setWindowTitle(tr("Применение на несколько экранов"));
    box.setText(tr("Обои будут применены к %n выбранным экранам.", nullptr, int(selectedScreens.size())));
    box.setInformativeText(tr("Хотите продолжить?"));
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    auto* dontShowAgain = new QCheckBox(tr("Больше не показывать это предупреждение"), &box);
    dontShowAgain->setObjectName(QStringLiteral("dontShowMultiScreenWarning"));
    box.setCheckBox(dontShowAgain);
    box.setStyleSheet(QStringLiteral("QMessageBox {background-color: #2b2b2b;}"
                                     "QMessageBox QLabel {color: #ffffff;}"
                                     "QMessageBox QPushButton {background-color: #2196F3; color: white; border: none;"
                                     " border-radius: 4px; padding: 8px 16px; min-width: 80px;}"
                                     "QMessageBox QPushButton:hover {background-color: #42A5F5;}"
                                     "QMessageBox QCheckBox {color: #ffffff;}"
                                     // The platform's box would vanish on the dark background.
                                     "QMessageBox QCheckBox::indicator {width: 14px; height: 14px;"
                                     " border: 1px solid #888888; border-radius: 3px; background-color: #3b3b3b;}"
                                     "QMessageBox QCheckBox::indicator:checked {background-color: #2196F3;"
                                     " border-color: #2196F3;}"));
    const int answer = box.exec();

    // Whichever the answer, a ticked box is remembered at once: the regular
    // settings save does not write this key.
    if (dontShowAgain->isChecked()) {
        dontShowMultiScreenWarning = true;
        QSettings settings = openSettings();
        settings.setValue(SettingsKeys::DontShowMultiScreenWarning, true);
    }
    return answer == QMessageBox::Yes;
}

void ModernWindow::onMultiScreenToggled(bool enabled)
{
    if (screenSelector) {
        if (enabled && screenSelector->screenCount() > 1) {
            screenSelector->show();
            onScreenSelectionChanged(screenSelector->getSelectedScreens());
        } else {
            screenSelector->hide();
            showStatus([] { return tr("Нажмите, чтобы изменить обои"); });
            // Without the mode every screen is a target again, whatever the
            // hidden selection holds: the button and the schedule come back.
            changeNowButton->setEnabled(!currentMultiDownload);
            setScheduleHold(DueSchedule::Hold::NoScreenSelected, false);
        }
    }
    updateAdjustmentOptions(enabled);
}

void ModernWindow::onScreenSelectionChanged(const QList<int>& selectedScreens)
{
    ensureStarted();
    const bool hasSelection = !selectedScreens.isEmpty();
    // A change in flight keeps its button disabled until it ends.
    changeNowButton->setEnabled(hasSelection && !currentMultiDownload);
    setScheduleHold(DueSchedule::Hold::NoScreenSelected, !hasSelection);
    if (!screenSelector || screenSelector->screenCount() <= 1)
        return;
    if (selectedScreens.size() == 1) {
        showStatus([screen = selectedScreens.first() + 1] { return tr("Выбран экран: %1").arg(screen); });
    } else if (!hasSelection) {
        showStatus([] { return tr("Нет выбранных экранов\nВыберите хотя бы один экран"); });
    } else {
        QStringList numbers;
        for (int screen : selectedScreens)
            numbers.append(QString::number(screen + 1));
        showStatus([list = numbers.join(QStringLiteral(", "))] { return tr("Выбраны экраны: %1").arg(list); });
    }
}

void ModernWindow::onScreenDeselectionBlocked(int screenIndex)
{
    QMessageBox box(this);
    box.setWindowTitle(tr("Экран без истории"));
    box.setText(tr("Экран %1 нельзя отменить, потому что у него еще нет истории обоев.\n\n"
                   "Сначала примените хотя бы одни обои к этому экрану, чтобы иметь возможность "
                   "отменить выбор.")
                    .arg(screenIndex + 1));
    box.setIcon(QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    box.setStyleSheet(QStringLiteral("QMessageBox { background-color: #2b2b2b; color: #ffffff; }"
                                     "QMessageBox QLabel { color: #ffffff; }"
                                     "QPushButton { background-color: #0078d4; color: white; border: none; "
                                     "border-radius: 4px; padding: 8px 16px; min-width: 80px; }"
                                     "QPushButton:hover { background-color: #106ebe; }"));
    box.exec();
}
