// The wall-clock change schedule: the due moment kept in the settings, the
// dial brought to it, and what the system says of sleep, clock, unlock,
// battery and the window in front.

#include "modern_window.h"

#include "core/change_schedule.h"
#include "core/settings_keys.h"
#include "platform/platform_services.h"
#include "platform/system_watch.h"
#include "utils/settings_store.h"
#include "utils/utils.h"
#include "widgets/countdown_widget.h"
#include "widgets/toggle_switch.h"

#include <QComboBox>
#include <QDebug>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>

#include <limits>

namespace {
// After waking or a clock jump the network and the desktop need a moment.
constexpr int kSettleSeconds = 10;
// Where the system does not announce the window in front, it is looked at
// again this often, only while a due change waits for it.
constexpr int kFullScreenLookMs = 60'000;
} // namespace

void ModernWindow::setupSchedule()
{
    if (dueSchedule)
        return;
    dueSchedule = std::make_unique<DueSchedule>(environment.wallClock);
    systemWatch = environment.platform->createSystemWatch();
    connect(systemWatch.get(), &SystemWatch::resumed, this, &ModernWindow::onScheduleClockJump);
    connect(systemWatch.get(), &SystemWatch::clockChanged, this, &ModernWindow::onScheduleClockJump);
    connect(systemWatch.get(), &SystemWatch::unlocked, this, &ModernWindow::onSessionUnlocked);
    connect(systemWatch.get(), &SystemWatch::conditionsChanged, this, &ModernWindow::refreshScheduleHolds);
}

void ModernWindow::updateCountdownFromSettings()
{
    if (!countdownWidget)
        return;
    // The first time is the start: the moment kept from the last run holds.
    applyScheduleRule(!scheduleRestored);
    scheduleRestored = true;
}

void ModernWindow::applyScheduleRule(bool atStart)
{
    setupSchedule();
    const QTime time = timeOfDayEdit ? timeOfDayEdit->time() : ChangeSchedule::defaultTimeOfDay();
    const DueSchedule::Rule rule = ChangeSchedule::rule(frequencyCombo->currentIndex(), customValueSpinBox->value(),
                                                        customUnitCombo->currentIndex(), time);
    if (atStart) {
        const QDateTime stored =
            QDateTime::fromString(openSettings().value(SettingsKeys::NextChangeDue).toString(), Qt::ISODateWithMs);
        dueSchedule->restore(rule, stored);
        // A start at log-on that changes the wallpaper anyway makes the change
        // that fell due while the program was not running: the period counts
        // from there rather than giving two changes in a row.
        if (dueSchedule->isDue() && isStartupLaunch(commandLine()) && changeOnStartupToggle &&
            changeOnStartupToggle->isChecked())
            dueSchedule->changeStarted();
    } else {
        dueSchedule->setRule(rule);
    }
    storeScheduleDue();
    systemWatch->setWatchFullScreen(rule.isTimed() && pauseFullScreenToggle && pauseFullScreenToggle->isChecked());
    refreshScheduleHolds();
    syncScheduleDial();
}

void ModernWindow::storeScheduleDue()
{
    QSettings settings = openSettings();
    if (dueSchedule->due().isValid())
        settings.setValue(SettingsKeys::NextChangeDue, dueSchedule->due().toString(Qt::ISODateWithMs));
    else
        settings.remove(SettingsKeys::NextChangeDue);
}

void ModernWindow::syncScheduleDial()
{
    if (!countdownWidget || !dueSchedule)
        return;
    if (!dueSchedule->rule().isTimed()) {
        countdownWidget->setDuration(ChangeSchedule::neverSeconds);
        return;
    }
    const auto toInt = [](qint64 value) { return int(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max())); };
    countdownWidget->setDuration(std::max(1, toInt(dueSchedule->periodSeconds())));
    countdownWidget->setRemainingTime(toInt((dueSchedule->msecsLeft() + 999) / 1000));
}

void ModernWindow::startScheduledChange()
{
    if (fullScreenLookTimer)
        fullScreenLookTimer->stop();
    if (dueSchedule) {
        dueSchedule->changeStarted();
        storeScheduleDue();
        syncScheduleDial();
    }
    changeNow(ChangeTrigger::Automatic);
}

void ModernWindow::onCountdownExpired()
{
    // The user's pause holds the change; one that has just ended lets a due change go (setScheduleHold).
    if (holdChangeForUserPause())
        return;
    if (dueSchedule && dueSchedule->rule().isTimed()) {
        // The dial counts by its own ticks; the wall clock has the last word.
        if (dueSchedule->msecsLeft() > 2000) {
            syncScheduleDial();
            return;
        }
        refreshScheduleHolds();
        if (dueSchedule->isHeld()) {
            // Starts when the condition ends (refreshScheduleHolds).
            qDebug() << "[SCHEDULE] Changement automatique en attente (pause)";
            return;
        }
    }
    startScheduledChange();
}

void ModernWindow::refreshScheduleHolds()
{
    if (!dueSchedule || !systemWatch)
        return;
    const bool timed = dueSchedule->rule().isTimed();
    const bool battery = timed && pauseOnBatteryToggle && pauseOnBatteryToggle->isChecked() && systemWatch->onBattery();
    const bool fullScreen =
        timed && pauseFullScreenToggle && pauseFullScreenToggle->isChecked() && systemWatch->fullScreenInFront();
    setScheduleHold(DueSchedule::Hold::OnBattery, battery);
    setScheduleHold(DueSchedule::Hold::FullScreen, fullScreen);
    // No word of the window in front leaving: looked at again while it holds a due change.
    const bool look = fullScreen && dueSchedule->isDue() && !systemWatch->announcesFullScreenChanges();
    if (look && !fullScreenLookTimer) {
        fullScreenLookTimer = new QTimer(this);
        fullScreenLookTimer->setObjectName(QStringLiteral("fullScreenLookTimer"));
        fullScreenLookTimer->setInterval(kFullScreenLookMs);
        connect(fullScreenLookTimer, &QTimer::timeout, this, &ModernWindow::refreshScheduleHolds);
    }
    if (fullScreenLookTimer && look != fullScreenLookTimer->isActive()) {
        if (look)
            fullScreenLookTimer->start();
        else
            fullScreenLookTimer->stop();
    }
}

void ModernWindow::setScheduleHold(DueSchedule::Hold reason, bool held)
{
    setupSchedule();
    const bool wasHeld = dueSchedule->isHeld();
    dueSchedule->setHeld(reason, held);
    if (!countdownWidget || dueSchedule->isHeld() == wasHeld)
        return;
    if (dueSchedule->isHeld()) {
        countdownWidget->pauseCountdown();
        return;
    }
    countdownWidget->resumeCountdown();
    if (!dueSchedule->rule().isTimed())
        return;
    // A change that fell due while held runs now; otherwise the dial goes on
    // toward the same moment.
    if (dueSchedule->isDue())
        startScheduledChange();
    else
        syncScheduleDial();
}

void ModernWindow::onScheduleClockJump()
{
    if (!dueSchedule || !dueSchedule->rule().isTimed())
        return;
    dueSchedule->clockChanged();
    storeScheduleDue();
    refreshScheduleHolds();
    if (!dueSchedule->isDue()) {
        syncScheduleDial();
        return;
    }
    qDebug() << "[SCHEDULE] Changement échu pendant la veille, lancé dans" << kSettleSeconds << "s";
    // The dial's last seconds are the settling wait: it ends in the one
    // change, which goes to the service, or to the retry when unreachable.
    countdownWidget->setRemainingTime(kSettleSeconds);
}

void ModernWindow::onSessionUnlocked()
{
    if (!changeOnUnlockToggle || !changeOnUnlockToggle->isChecked() || !dueSchedule)
        return;
    refreshScheduleHolds();
    if (dueSchedule->isHeld())
        return;
    startScheduledChange();
}

void ModernWindow::retranslateSchedule()
{
    // The dial draws its words (manual only, at next start, pause) as it paints.
    if (countdownWidget)
        countdownWidget->update();
}
