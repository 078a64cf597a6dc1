#include "modern_window.h"

#include "core/change_log.h"
#include "core/change_schedule.h"
#include "core/command_line.h"
#include "core/settings_keys.h"
#include "platform/platform_services.h"
#include "utils/date_helper.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"
#include "widgets/countdown_widget.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

// A pause ends on time even across many days: the timer is re-armed in steps.
constexpr qint64 kPauseCheckStepMs = 3600 * 1000;

int connectedScreenCount()
{
    return int(QGuiApplication::screens().size());
}

QJsonValue isoOrNull(const QDateTime& when)
{
    return when.isValid() ? QJsonValue(when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate))
                          : QJsonValue(QJsonValue::Null);
}

} // namespace

void ModernWindow::setupRemoteControl()
{
    // Above "Выйти": the entries of the control menu, filled afresh each time it opens.
    QAction* quitAction = trayMenu->actions().isEmpty() ? nullptr : trayMenu->actions().constLast();
    auto* nextAction = new QAction(trayMenu);
    nextAction->setObjectName(QStringLiteral("trayNextAction"));
    connect(nextAction, &QAction::triggered, this, [this] { startChangeFor({}, ChangeTrigger::Manual); });
    trayNextScreenMenu = new QMenu(trayMenu);
    trayNextScreenMenu->setObjectName(QStringLiteral("trayNextScreenMenu"));

    auto* pauseMenu = new QMenu(trayMenu);
    pauseMenu->setObjectName(QStringLiteral("trayPauseMenu"));
    QAction* hourAction = pauseMenu->addAction(QString());
    hourAction->setObjectName(QStringLiteral("trayPauseHourAction"));
    connect(hourAction, &QAction::triggered, this,
            [this] { setUserPause(UserPause::forSeconds(QDateTime::currentDateTimeUtc(), 3600)); });
    QAction* tomorrowAction = pauseMenu->addAction(QString());
    tomorrowAction->setObjectName(QStringLiteral("trayPauseTomorrowAction"));
    connect(tomorrowAction, &QAction::triggered, this,
            [this] { setUserPause(UserPause::untilTomorrow(QDateTime::currentDateTime())); });
    QAction* resumedAction = pauseMenu->addAction(QString());
    resumedAction->setObjectName(QStringLiteral("trayPauseUntilResumedAction"));
    connect(resumedAction, &QAction::triggered, this, [this] { setUserPause(UserPause::untilResumed()); });
    trayResumeAction = new QAction(trayMenu);
    trayResumeAction->setObjectName(QStringLiteral("trayResumeAction"));
    connect(trayResumeAction, &QAction::triggered, this, [this] { setUserPause({}); });

    trayPicturesMenu = new QMenu(trayMenu);
    trayPicturesMenu->setObjectName(QStringLiteral("trayPicturesMenu"));
    // Each entry with its own accelerator, none shared with "Показать" and "Выйти".
    keepTranslated(trayMenu, [=, this] {
        nextAction->setText(tr("&Следующие обои"));
        trayNextScreenMenu->setTitle(tr("Следующие обои на &экране"));
        pauseMenu->setTitle(tr("&Приостановить смену"));
        hourAction->setText(tr("На &1 час"));
        tomorrowAction->setText(tr("До &завтра"));
        resumedAction->setText(tr("До &возобновления"));
        trayResumeAction->setText(tr("&Возобновить смену"));
        trayPicturesMenu->setTitle(tr("&Текущие изображения"));
    });

    trayMenu->insertAction(quitAction, nextAction);
    trayMenu->insertMenu(quitAction, trayNextScreenMenu);
    trayMenu->insertMenu(quitAction, pauseMenu);
    trayMenu->insertAction(quitAction, trayResumeAction);
    trayMenu->insertMenu(quitAction, trayPicturesMenu);
    trayMenu->insertSeparator(quitAction);
    connect(trayMenu, &QMenu::aboutToShow, this, &ModernWindow::fillTrayControlMenus);

    // The user's pause outlasts a restart until its end.
    userPauseEndTimer = new QTimer(this);
    userPauseEndTimer->setObjectName(QStringLiteral("userPauseEndTimer"));
    userPauseEndTimer->setSingleShot(true);
    connect(userPauseEndTimer, &QTimer::timeout, this, &ModernWindow::showUserPause);
    {
        const QSettings settings = openSettings();
        userPause = UserPause::read(settings, QDateTime::currentDateTimeUtc());
    }
    // The screen selection starts and stops the dial of its own; a user's pause stays shown over it.
    connect(screenSelector, &ScreenSelector::screenSelectionChanged, this, &ModernWindow::showUserPause);
    connect(multiScreenToggle, &ToggleSwitch::toggled, this, &ModernWindow::showUserPause);
    showUserPause();
    fillTrayControlMenus();

    applyGlobalShortcut(openSettings().value(SettingsKeys::GlobalShortcut).toString());

    // Started by a command: it runs hidden and does it once the loop runs.
    const CommandLineRequest request = readCommandLine(commandLine());
    if (request.action == CommandLineRequest::Action::Command) {
        enterTray();
        QTimer::singleShot(0, this, [this, command = request.command] {
            const RemoteReply reply = runRemoteCommand(command);
            if (!reply.output.isEmpty())
                std::fputs(reply.output.toUtf8().constData(), stdout);
            if (!reply.message.isEmpty())
                std::fputs(qPrintable(QStringLiteral("velmora: ") + reply.message + QLatin1Char('\n')), stderr);
            std::fflush(stdout);
        });
    }
}

void ModernWindow::fillTrayControlMenus()
{
    const int count = connectedScreenCount();
    trayNextScreenMenu->clear();
    trayPicturesMenu->clear();
    for (int screen = 0; screen < count; ++screen) {
        QAction* next = trayNextScreenMenu->addAction(tr("Экран %1").arg(screen + 1));
        next->setObjectName(QStringLiteral("trayNextScreen_%1").arg(screen));
        connect(next, &QAction::triggered, this, [this, screen] {
            RemoteCommand command;
            command.screen = QString::number(screen + 1);
            const RemoteReply reply = runRemoteCommand(command);
            if (reply.exitCode != RemoteReply::Done && trayIcon)
                trayIcon->showMessage(QStringLiteral("Velmora"), reply.message);
        });

        const QString picture = getCurrentWallpaperFromLog(screen);
        const QString text = picture.isEmpty() ? tr("Экран %1: нет изображения").arg(screen + 1)
                                               : tr("Экран %1: %2").arg(screen + 1).arg(QFileInfo(picture).fileName());
        QAction* open = trayPicturesMenu->addAction(text);
        open->setObjectName(QStringLiteral("trayPicture_%1").arg(screen));
        open->setEnabled(!picture.isEmpty());
        connect(open, &QAction::triggered, this,
                [this, picture] { environment.platform->openFolder(QFileInfo(picture).absolutePath()); });
    }
    // One screen is changed alone only where each screen has its own picture.
    trayNextScreenMenu->menuAction()->setVisible(count > 1);
    trayNextScreenMenu->setEnabled(isMultiScreenMode());
    trayResumeAction->setVisible(userPause.isActive());
}

void ModernWindow::startChangeFor(const QList<int>& screens, ChangeTrigger trigger)
{
    // The screens not named keep their newest picture in the composite.
    changeWorkflow->start(trigger, screens);
}

int ModernWindow::screenNamed(const QString& screen, QString* error) const
{
    const int count = connectedScreenCount();
    bool isNumber = false;
    const int number = screen.toInt(&isNumber);
    if (isNumber && number >= 1 && number <= count)
        return number - 1;
    for (int index = 0; index < count; ++index) {
        if (getScreenUniqueId(index) == screen)
            return index;
    }
    *error = tr("no such screen: %1 (screens 1 to %2, or their ids from --status)").arg(screen).arg(count);
    return -1;
}

RemoteReply ModernWindow::runRemoteCommand(const RemoteCommand& command)
{
    // A command may come before the window has built what it needs.
    ensureStarted();
    auto refused = [](const QString& why) { return RemoteReply{RemoteReply::Refused, why, {}}; };
    QString error;
    int screen = -1;
    if (!command.screen.isEmpty()) {
        screen = screenNamed(command.screen, &error);
        if (screen < 0)
            return refused(error);
    }

    switch (command.kind) {
    case RemoteCommand::Kind::Next: {
        if (currentMultiDownload)
            return refused(tr("a change is already in flight"));
        QList<int> screens;
        if (screen >= 0 && connectedScreenCount() > 1) {
            if (!isMultiScreenMode())
                return refused(tr("one screen changes alone only with a different picture on each "
                                  "screen (settings tab)"));
            screens = {screen};
        } else if (isMultiScreenMode() && screenSelector->getSelectedScreens().isEmpty()) {
            return refused(tr("no screen is selected for changes"));
        }
        startChangeFor(screens, ChangeTrigger::Manual);
        return {RemoteReply::Done, {}, {}};
    }
    case RemoteCommand::Kind::Pause: {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        setUserPause(command.pauseSeconds > 0 ? UserPause::forSeconds(now, command.pauseSeconds)
                                              : UserPause::untilResumed());
        const QString message =
            userPause.isUntilResumed()
                ? tr("changes paused until resumed")
                : tr("changes paused until %1").arg(userPause.until().toLocalTime().toString(Qt::ISODate));
        return {RemoteReply::Done, message, {}};
    }
    case RemoteCommand::Kind::Resume: {
        const bool wasPaused = userPause.isActive();
        setUserPause({});
        return {RemoteReply::Done, wasPaused ? tr("changes resumed") : tr("was not paused"), {}};
    }
    case RemoteCommand::Kind::Favourite:
    case RemoteCommand::Kind::NeverAgain: {
        const bool favourite = command.kind == RemoteCommand::Kind::Favourite;
        QList<int> screens;
        if (screen >= 0 || connectedScreenCount() == 1) {
            screens = {qMax(0, screen)};
        } else if (favourite) {
            for (int index = 0; index < connectedScreenCount(); ++index)
                screens.append(index);
        } else {
            // Changing every screen for one unwanted picture would surprise.
            return refused(tr("several screens: name the one with --screen"));
        }
        for (int index : screens) {
            ShownText why;
            if (!(favourite ? markFavourite(index, &why) : markNeverAgain(index, &why)))
                return refused(why.toString());
        }
        return {RemoteReply::Done, {}, {}};
    }
    case RemoteCommand::Kind::Status:
        return {RemoteReply::Done, {}, statusJson() + QLatin1Char('\n')};
    }
    return error.isEmpty() ? RemoteReply{} : refused(error);
}

void ModernWindow::setUserPause(const UserPause& pause)
{
    const bool wasPaused = userPause.isActive();
    userPause = pause;
    {
        QSettings settings = openSettings();
        userPause.write(settings);
    }
    if (wasPaused && !userPause.isActive()) {
        userPauseEndTimer->stop();
        trayIcon->setToolTip(QStringLiteral("Velmora"));
        // The schedule goes on toward its moment, unless something else holds it;
        // a change that fell due meanwhile runs now.
        setScheduleHold(DueSchedule::Hold::User, false);
    }
    showUserPause();
    fillTrayControlMenus();
}

void ModernWindow::showUserPause()
{
    if (!userPause.isActive())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!userPause.holdsAt(now)) {
        setUserPause({});
        return;
    }
    setScheduleHold(DueSchedule::Hold::User, true);
    trayIcon->setToolTip(userPause.isUntilResumed()
                             ? tr("Velmora — пауза")
                             : tr("Velmora — пауза до %1")
                                   .arg(QLocale().toString(userPause.until().toLocalTime(), QLocale::ShortFormat)));
    if (!userPause.isUntilResumed())
        userPauseEndTimer->start(int(std::min(userPause.msecsLeft(now) + 1, kPauseCheckStepMs)));
}

bool ModernWindow::holdChangeForUserPause()
{
    if (!userPause.holdsAt(QDateTime::currentDateTimeUtc())) {
        if (userPause.isActive())
            setUserPause({});
        return false;
    }
    showUserPause();
    return true;
}

QString ModernWindow::statusJson() const
{
    QJsonArray screens;
    const int count = connectedScreenCount();
    for (int index = 0; index < count; ++index) {
        const QString id = getScreenUniqueId(index);
        QJsonObject screen{{QStringLiteral("index"), index},
                           {QStringLiteral("number"), index + 1},
                           {QStringLiteral("id"), id},
                           {QStringLiteral("picture"), QJsonValue::Null},
                           {QStringLiteral("applied"), QJsonValue::Null},
                           {QStringLiteral("trigger"), QJsonValue::Null},
                           {QStringLiteral("category"), QJsonValue::Null},
                           {QStringLiteral("date"), QJsonValue::Null}};
        const LastLogEntry last = ChangeLog::lastEntry(PathHelper::monitorLogPath(getHistoryDirectory(), id));
        if (last.state == LastLogEntry::State::Entry) {
            const QString picture =
                PathHelper::monitorFolderPath(getWallpapersDirectory(), id) + QLatin1Char('/') + last.fields.fileName;
            if (QFileInfo(picture).isFile())
                screen.insert(QStringLiteral("picture"), picture);
            screen.insert(QStringLiteral("applied"), isoOrNull(ChangeLog::parseTimestamp(last.fields.timestamp)));
            screen.insert(QStringLiteral("trigger"), last.fields.trigger);
            // The log names the file only; where the service listed it was kept beside.
            const PictureSource source = currentPictureSource(id);
            if (source.file == last.fields.fileName) {
                const QString& category = source.category;
                const QDate date = DateHelper::parseDate(source.date);
                if (!category.isEmpty())
                    screen.insert(QStringLiteral("category"), category);
                if (date.isValid())
                    screen.insert(QStringLiteral("date"), date.toString(Qt::ISODate));
            }
        }
        screens.append(screen);
    }

    const int interval = ChangeSchedule::intervalSeconds(frequencyCombo->currentIndex(), customValueSpinBox->value(),
                                                         customUnitCombo->currentIndex());
    // The schedule's wall-clock moment; none while manual, at log-on only, or held.
    QJsonValue nextChange(QJsonValue::Null);
    if (dueSchedule && dueSchedule->rule().isTimed() && !dueSchedule->isHeld() && dueSchedule->due().isValid())
        nextChange = dueSchedule->due().toLocalTime().toString(Qt::ISODate);
    const QJsonObject schedule{
        {QStringLiteral("frequency"), frequencyCombo->currentData().toString()},
        {QStringLiteral("intervalSeconds"), interval > 0 ? QJsonValue(interval) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("manualOnly"), interval == -1},
        {QStringLiteral("atNextStart"), interval == 0},
        {QStringLiteral("nextChange"), nextChange},
    };
    const QJsonObject pause{
        {QStringLiteral("paused"), userPause.isActive()},
        {QStringLiteral("until"), isoOrNull(userPause.until().toLocalTime())},
    };
    const QJsonObject status{
        {QStringLiteral("screens"), screens},
        {QStringLiteral("schedule"), schedule},
        {QStringLiteral("pause"), pause},
        {QStringLiteral("changeInFlight"), bool(currentMultiDownload)},
    };
    return QString::fromUtf8(QJsonDocument(status).toJson(QJsonDocument::Indented)).trimmed();
}

void ModernWindow::applyGlobalShortcut(const QString& portableText)
{
    if (!environment.platform->supportsGlobalShortcut())
        return;
    const QKeySequence sequence = QKeySequence::fromString(portableText, QKeySequence::PortableText);
    const int combined = sequence.isEmpty() ? 0 : sequence[0].toCombined();
    if (!environment.platform->setGlobalShortcut(this, combined)) {
        qWarning().noquote() << "[SHORTCUT] Combinaison refusée par le système:" << portableText;
        if (globalShortcutEdit)
            globalShortcutEdit->setToolTip(tr("Эта комбинация уже занята другой программой"));
        return;
    }
    globalShortcutText = sequence.isEmpty() ? QString() : sequence.toString(QKeySequence::PortableText);
    if (globalShortcutEdit)
        globalShortcutEdit->setToolTip({});
}

void ModernWindow::addGlobalShortcutRow(QVBoxLayout* layout, QWidget* parent)
{
    // Only where the program may own a global key; elsewhere the desktop's keyboard settings run "velmora --next".
    if (!environment.platform->supportsGlobalShortcut())
        return;
    auto* row = new QHBoxLayout();
    auto* label = new QLabel(parent);
    keepTranslated(label, [label] { label->setText(tr("Клавиши для смены обоев")); });
    label->setObjectName(QStringLiteral("globalShortcutLabel"));
    row->addWidget(label);
    row->addStretch();
    globalShortcutEdit = new QKeySequenceEdit(parent);
    globalShortcutEdit->setObjectName(QStringLiteral("globalShortcutEdit"));
    globalShortcutEdit->setClearButtonEnabled(true);
    globalShortcutEdit->setKeySequence(QKeySequence::fromString(
        openSettings().value(SettingsKeys::GlobalShortcut).toString(), QKeySequence::PortableText));
    row->addWidget(globalShortcutEdit);
    layout->addLayout(row);
    // Kept at once, as the system takes it or refuses it.
    auto keep = [this] {
        applyGlobalShortcut(globalShortcutEdit->keySequence().toString(QKeySequence::PortableText));
        QSettings settings = openSettings();
        if (globalShortcutText.isEmpty())
            settings.remove(SettingsKeys::GlobalShortcut);
        else
            settings.setValue(SettingsKeys::GlobalShortcut, globalShortcutText);
        // A refused combination is not shown as if it were in force.
        const QKeySequence inForce = QKeySequence::fromString(globalShortcutText, QKeySequence::PortableText);
        if (globalShortcutEdit->keySequence() != inForce)
            globalShortcutEdit->setKeySequence(inForce);
    };
    connect(globalShortcutEdit, &QKeySequenceEdit::editingFinished, this, keep);
    connect(globalShortcutEdit, &QKeySequenceEdit::keySequenceChanged, this, [this, keep](const QKeySequence& s) {
        if (s.isEmpty() && !globalShortcutText.isEmpty())
            keep();
    });
}

bool ModernWindow::isGlobalShortcutPressed(const QByteArray& eventType, void* message)
{
    if (!environment.platform->isGlobalShortcutMessage(eventType, message))
        return false;
    startChangeFor({}, ChangeTrigger::Manual);
    return true;
}

void ModernWindow::retranslateRemoteControl()
{
    // The per-screen entries and the pause's tooltip are drawn afresh.
    if (!trayNextScreenMenu)
        return;
    fillTrayControlMenus();
    if (userPause.isActive())
        showUserPause();
    else if (trayIcon)
        trayIcon->setToolTip(QStringLiteral("Velmora"));
}
