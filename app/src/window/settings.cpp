// Settings store, settings tab and change schedule, start with the system.

#include "modern_window.h"

#include "config/startup_manager.h"
#include "core/change_schedule.h"
#include "core/language.h"
#include "core/settings_file.h"
#include "core/settings_keys.h"
#include "platform/platform_services.h"
#include "utils/settings_store.h"
#include "utils/utils.h"
#include "widgets/countdown_widget.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <cstddef>
#include <utility>

namespace {

constexpr int kSpanPosition = 2;
const QSize kAdjustmentPictureBox(136, 150);

struct AdjustmentMode
{
    // Source texts; the name's comment is the key, as two modes share a name.
    struct
    {
        const char* source;
        const char* comment;
    } text;
    const char* key;
    const char* explanation;
};

// In the order of the adjustment list, which is the order of the stored position.
const AdjustmentMode kAdjustmentModes[] = {
    {QT_TRANSLATE_NOOP3("ModernWindow", "Заполнить", "fill"), "fill",
     QT_TRANSLATE_NOOP("ModernWindow", "Изображение сохраняет пропорции, но обрезается для заполнения экрана")},
    {QT_TRANSLATE_NOOP3("ModernWindow", "Вписать", "fit"), "fit",
     QT_TRANSLATE_NOOP("ModernWindow",
                       "Изображение сохраняет пропорции, но добавляются черные полосы для размещения на экране")},
    {QT_TRANSLATE_NOOP3("ModernWindow", "Растянуть", "span"), "span",
     QT_TRANSLATE_NOOP("ModernWindow", "Изображение растягивается на несколько экранов")},
    {QT_TRANSLATE_NOOP3("ModernWindow", "Растянуть", "stretch"), "stretch",
     QT_TRANSLATE_NOOP("ModernWindow",
                       "Изображение растягивается для заполнения всего экрана, но пропорции не соблюдаются")},
    {QT_TRANSLATE_NOOP3("ModernWindow", "Мозаика", "tile"), "tile",
     QT_TRANSLATE_NOOP("ModernWindow", "Изображение повторяется для заполнения всего экрана, пропорции сохраняются")},
};

// The frequency list, in the order of the stored position (ChangeSchedule's).
const char* const kFrequencyItems[] = {
    QT_TRANSLATE_NOOP("ModernWindow", "Только ручное изменение"), QT_TRANSLATE_NOOP("ModernWindow", "Каждый час"),
    QT_TRANSLATE_NOOP("ModernWindow", "Каждые 3 часа"),           QT_TRANSLATE_NOOP("ModernWindow", "Каждые 6 часов"),
    QT_TRANSLATE_NOOP("ModernWindow", "Каждые 12 часов"),         QT_TRANSLATE_NOOP("ModernWindow", "Каждые 24 часа"),
    QT_TRANSLATE_NOOP("ModernWindow", "Каждую неделю"),           QT_TRANSLATE_NOOP("ModernWindow", "Другое"),
    QT_TRANSLATE_NOOP("ModernWindow", "Каждый день в"),
};
const char* const kCustomUnits[] = {
    QT_TRANSLATE_NOOP("ModernWindow", "минут"),
    QT_TRANSLATE_NOOP("ModernWindow", "часов"),
    QT_TRANSLATE_NOOP("ModernWindow", "дней"),
};
// A toggle row's label keeps its source text here, to be shown again in another language.
const char* const kSourceTextProperty = "velmoraSourceText";

// Shows a list's items in the language now installed; the selection stays.
template <std::size_t N> void showItems(QComboBox* combo, const char* const (&sources)[N])
{
    for (std::size_t i = 0; i < N; ++i) {
        if (int(i) < combo->count())
            combo->setItemText(int(i), ModernWindow::tr(sources[i]));
        else
            combo->addItem(ModernWindow::tr(sources[i]), QString::fromUtf8(sources[i]));
    }
}

const char* const kSettingsPageStyle = R"(
QGroupBox {
    background-color: #3a3a3a;
    border: 1px solid #555;
    border-radius: 12px;
    margin-top: 14px;
    padding-top: 14px;
    color: #ffffff;
    font-size: 11pt;
    font-weight: bold;
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 12px;
    padding: 3px 10px;
    background-color: #2a2a2a;
    border-radius: 6px;
}
QComboBox, QSpinBox {
    background-color: #2a2a2a;
    border: 1px solid #555;
    border-radius: 8px;
    padding: 4px 10px;
    color: #ffffff;
    font-size: 13px;
}
QComboBox:hover, QSpinBox:hover {
    border-color: #777;
}
QComboBox:focus, QSpinBox:focus {
    border-color: #0078d4;
}
QComboBox::drop-down {
    border: none;
    width: 24px;
}
QComboBox::down-arrow {
    image: url("@ARROW_DOWN@");
    width: 12px;
    height: 8px;
}
QSpinBox::up-button, QSpinBox::down-button {
    subcontrol-origin: border;
    width: 22px;
    border: none;
    background: transparent;
}
QSpinBox::up-button {
    subcontrol-position: top right;
}
QSpinBox::down-button {
    subcontrol-position: bottom right;
}
QSpinBox::up-arrow {
    image: url("@ARROW_UP@");
    width: 10px;
    height: 6px;
}
QSpinBox::down-arrow {
    image: url("@ARROW_DOWN@");
    width: 10px;
    height: 6px;
}
QComboBox QAbstractItemView {
    background-color: #2a2a2a;
    border: 1px solid #555;
    color: #ffffff;
    selection-background-color: #0078d4;
    outline: none;
}
QComboBox QAbstractItemView::item {
    min-height: 26px;
    padding: 0px 8px;
}
#customFrequencyWidget {
    background: transparent;
}
#customValueSpinBox:disabled, #customUnitCombo:disabled {
    background-color: #1a1a1a;
    border-color: #333;
    color: #555;
}
#adjustmentSelector {
    background-color: #3a3a3a;
}
#adjustmentExplanationPanel {
    background-color: rgba(33, 150, 243, 30);
    border: 2px solid #2196F3;
    border-radius: 8px;
}
#adjustmentExplanationLabel {
    background: transparent;
    border: none;
    color: #ffffff;
    font-size: 13px;
    padding: 3px 5px;
}
#settingsToggleLabel {
    background: transparent;
    color: #ffffff;
    font-size: 13px;
}
#applyButton {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #4CAF50, stop:1 #45a049);
    color: #ffffff;
    border: none;
    border-radius: 8px;
    font-size: 13px;
    font-weight: bold;
}
#applyButton:hover {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #5CBF60, stop:1 #4CAF50);
}
#applyButton:pressed {
    background: #3d8b40;
}
#applyButton:disabled {
    background: #666666;
    color: #999999;
}
)";

// A path as a style sheet's quoted url: its quotes and backslashes escaped.
QString styleUrl(const QString& path)
{
    QString escaped = path;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return escaped;
}

// The arrows are pictures beside the executable; without them the lists simply show none.
QString settingsPageStyle()
{
    return QString::fromUtf8(kSettingsPageStyle)
        .replace(QStringLiteral("@ARROW_DOWN@"), styleUrl(getImagePath(QStringLiteral("arrow_down.png"))))
        .replace(QStringLiteral("@ARROW_UP@"), styleUrl(getImagePath(QStringLiteral("arrow_up.png"))));
}

// The picture label's frame; the text look is for a mode whose picture is missing.
const char* const kPictureStyle = "QLabel { background-color: #e8e8e8; border: 1px solid #555; border-radius: 8px; }";
const char* const kPictureTextStyle = "QLabel { background-color: #e8e8e8; border: 1px solid #555; "
                                      "border-radius: 8px; color: #333333; font-weight: bold; font-size: 13px; }";

QComboBox* makeCombo(const QString& objectName, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(objectName);
    combo->setFixedHeight(32);
    // Items drawn as view items, so that a disabled one shows its own colour.
    combo->setItemDelegate(new QStyledItemDelegate(combo));
    return combo;
}

// A row of the system group: its text, a stretch and the switch.
ToggleSwitch* addToggleRow(QVBoxLayout* layout, QWidget* parent, const char* text, const QString& objectName,
                           bool checked)
{
    auto* row = new QHBoxLayout();
    auto* label = new QLabel(ModernWindow::tr(text), parent);
    label->setProperty(kSourceTextProperty, QByteArray(text));
    label->setObjectName(QStringLiteral("settingsToggleLabel"));
    label->setWordWrap(true);
    // The label takes the row's width, so it wraps only when the words need it.
    row->addWidget(label, 1);
    auto* toggle = new ToggleSwitch(parent);
    toggle->setObjectName(objectName);
    toggle->setChecked(checked);
    label->setBuddy(toggle);
    row->addWidget(toggle);
    layout->addLayout(row);
    return toggle;
}

// Selects a stored position only when the list has it; otherwise the list stays as it is.
void selectStoredPosition(QComboBox* combo, const QVariant& stored)
{
    const int position = stored.toInt();
    if (position >= 0 && position < combo->count())
        combo->setCurrentIndex(position);
}

} // namespace

void ModernWindow::setupSettingsTab()
{
    auto* page = new QWidget(tabWidget);
    page->setObjectName(QStringLiteral("settingsPage"));
    // In the tab widget first, hidden behind the current tab: its children are
    // then polished when the tab is first shown, not each time one is shown here.
    const int tab = tabWidget->addTab(page, QString());
    page->setStyleSheet(settingsPageStyle());
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(20, 20, 20, 20);
    pageLayout->setSpacing(15);

    // How often the wallpaper changes.
    auto* frequencyGroup = new QGroupBox(page);
    keepTranslated(frequencyGroup, [frequencyGroup] { frequencyGroup->setTitle(tr("Частота изменения")); });
    auto* frequencyLayout = new QVBoxLayout(frequencyGroup);
    frequencyLayout->setSpacing(10);
    frequencyCombo = makeCombo(QStringLiteral("frequencyCombo"), frequencyGroup);
    // Each item's data is its source text, what --status reports in any language.
    showItems(frequencyCombo, kFrequencyItems);
    frequencyLayout->addWidget(frequencyCombo);

    auto* customFrequencyWidget = new QWidget(frequencyGroup);
    customFrequencyWidget->setObjectName(QStringLiteral("customFrequencyWidget"));
    auto* customLayout = new QHBoxLayout(customFrequencyWidget);
    customLayout->setContentsMargins(0, 0, 0, 0);
    customLayout->setSpacing(10);
    customValueSpinBox = new QSpinBox(customFrequencyWidget);
    customValueSpinBox->setObjectName(QStringLiteral("customValueSpinBox"));
    customValueSpinBox->setRange(1, 9999);
    customValueSpinBox->setValue(30);
    customValueSpinBox->setFixedSize(100, 32);
    customValueSpinBox->setEnabled(false);
    customLayout->addWidget(customValueSpinBox);
    customUnitCombo = makeCombo(QStringLiteral("customUnitCombo"), customFrequencyWidget);
    showItems(customUnitCombo, kCustomUnits);
    customUnitCombo->setFixedWidth(120);
    customUnitCombo->setEnabled(false);
    customLayout->addWidget(customUnitCombo);
    timeOfDayEdit = new QTimeEdit(ChangeSchedule::defaultTimeOfDay(), customFrequencyWidget);
    timeOfDayEdit->setObjectName(QStringLiteral("timeOfDayEdit"));
    timeOfDayEdit->setDisplayFormat(QStringLiteral("HH:mm"));
    timeOfDayEdit->setFixedSize(90, 32);
    timeOfDayEdit->setEnabled(false);
    customLayout->addWidget(timeOfDayEdit);
    customLayout->addStretch();
    frequencyLayout->addWidget(customFrequencyWidget);
    // When the schedule holds back, and the change on unlock: close rows, one line each.
    auto* scheduleOptions = new QVBoxLayout();
    scheduleOptions->setSpacing(2);
    pauseFullScreenToggle = addToggleRow(scheduleOptions, frequencyGroup, QT_TR_NOOP("Пауза при полном экране"),
                                         QStringLiteral("pauseFullScreenToggle"), false);
    pauseOnBatteryToggle = addToggleRow(scheduleOptions, frequencyGroup, QT_TR_NOOP("Пауза от батареи"),
                                        QStringLiteral("pauseOnBatteryToggle"), false);
    changeOnUnlockToggle = addToggleRow(scheduleOptions, frequencyGroup, QT_TR_NOOP("Смена при разблокировке"),
                                        QStringLiteral("changeOnUnlockToggle"), false);
    frequencyLayout->addLayout(scheduleOptions);

    // How the picture sits on the screen.
    auto* adjustmentGroup = new QGroupBox(page);
    keepTranslated(adjustmentGroup, [adjustmentGroup] { adjustmentGroup->setTitle(tr("Режим подгонки изображения")); });
    adjustmentGroup->setMinimumHeight(320);
    adjustmentGroup->setFixedWidth(280);
    auto* adjustmentLayout = new QVBoxLayout(adjustmentGroup);
    adjustmentLayout->setSpacing(10);
    adjustmentLayout->setContentsMargins(10, 15, 10, 15);

    auto* selector = new QWidget(adjustmentGroup);
    selector->setObjectName(QStringLiteral("adjustmentSelector"));
    selector->setFixedWidth(160);
    auto* selectorLayout = new QVBoxLayout(selector);
    selectorLayout->setSpacing(15);
    selectorLayout->setAlignment(Qt::AlignCenter);
    adjustmentCombo = makeCombo(QStringLiteral("adjustmentCombo"), selector);
    adjustmentCombo->setFixedWidth(140);
    for (const AdjustmentMode& mode : kAdjustmentModes)
        adjustmentCombo->addItem(tr(mode.text.source, mode.text.comment), QString::fromLatin1(mode.key));
    selectorLayout->addWidget(adjustmentCombo, 0, Qt::AlignHCenter);
    auto* imageLabel = new QLabel(selector);
    imageLabel->setObjectName(QStringLiteral("adjustmentImageLabel"));
    imageLabel->setFixedSize(140, 120);
    imageLabel->setAlignment(Qt::AlignCenter);
    selectorLayout->addWidget(imageLabel, 0, Qt::AlignHCenter);
    adjustmentLayout->addWidget(selector, 0, Qt::AlignHCenter);

    auto* explanationPanel = new QWidget(adjustmentGroup);
    explanationPanel->setObjectName(QStringLiteral("adjustmentExplanationPanel"));
    explanationPanel->setAttribute(Qt::WA_StyledBackground);
    explanationPanel->setFixedHeight(80);
    auto* explanationLayout = new QVBoxLayout(explanationPanel);
    explanationLayout->setContentsMargins(10, 5, 10, 10);
    adjustmentExplanationLabel = new QLabel(explanationPanel);
    adjustmentExplanationLabel->setObjectName(QStringLiteral("adjustmentExplanationLabel"));
    adjustmentExplanationLabel->setWordWrap(true);
    adjustmentExplanationLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    explanationLayout->addWidget(adjustmentExplanationLabel);
    adjustmentLayout->addWidget(explanationPanel);
    showAdjustmentMode(imageLabel, 0);

    // The three switches.
    auto* systemGroup = new QGroupBox(page);
    keepTranslated(systemGroup, [systemGroup] { systemGroup->setTitle(tr("Системные настройки")); });
    auto* systemLayout = new QVBoxLayout(systemGroup);
    systemLayout->setSpacing(10);
    systemLayout->setContentsMargins(15, 15, 15, 15);
    startupToggle = addToggleRow(systemLayout, systemGroup, QT_TR_NOOP("Запускать с Windows"),
                                 QStringLiteral("startupToggle"), true);
    changeOnStartupToggle = addToggleRow(systemLayout, systemGroup, QT_TR_NOOP("Менять обои\nпри запуске компьютера"),
                                         QStringLiteral("changeOnStartupToggle"), false);
    multiScreenToggle = addToggleRow(systemLayout, systemGroup, QT_TR_NOOP("Разное изображение на каждом экране"),
                                     QStringLiteral("multiScreenToggle"), true);
    addGlobalShortcutRow(systemLayout, systemGroup);

    auto* columns = new QHBoxLayout();
    columns->setSpacing(20);
    auto* leftColumn = new QVBoxLayout();
    leftColumn->addWidget(frequencyGroup);
    leftColumn->addWidget(systemGroup);
    leftColumn->addStretch();
    columns->addLayout(leftColumn, 1);
    // The language sits under the adjustment, where the column has room.
    auto* rightColumn = new QVBoxLayout();
    rightColumn->addWidget(adjustmentGroup);
    addLanguageRow(rightColumn, page);
    rightColumn->addStretch();
    columns->addLayout(rightColumn);
    // The groups scroll when they outgrow the window (a longer translation, the
    // key combination's row where the system lets us own one); the bottom row stays in view.
    auto* groups = new QWidget();
    groups->setObjectName(QStringLiteral("settingsGroups"));
    auto* groupsLayout = new QVBoxLayout(groups);
    groupsLayout->setContentsMargins(0, 0, 0, 0);
    groupsLayout->addLayout(columns);
    groupsLayout->addStretch();
    auto* scroll = new QScrollArea(page);
    scroll->setObjectName(QStringLiteral("settingsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    // Tabbing through the controls scrolls to each; the area itself is no stop.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(groups);
    pageLayout->addWidget(scroll, 1);

    // The command gets the whole width beside the button: in the left column
    // it pushed the groups past the window's height in every language.
    auto* buttonRow = new QHBoxLayout();
    buttonRow->setSpacing(20);
    buttonRow->addWidget(createChangeHookRow(page), 1);
    applyButton = new QPushButton(page);
    applyButton->setObjectName(QStringLiteral("applyButton"));
    applyButton->setFixedHeight(40);
    keepTranslated(applyButton, [this] { showButtonText(applyButton, QT_TR_NOOP("Применить"), 120); });
    applyButton->setEnabled(false);
    buttonRow->addWidget(applyButton);
    pageLayout->addLayout(buttonRow);

    connect(frequencyCombo, &QComboBox::currentIndexChanged, this, &ModernWindow::onSettingsChanged);
    connect(frequencyCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        const bool custom = index == ChangeSchedule::customPosition;
        customValueSpinBox->setEnabled(custom);
        customUnitCombo->setEnabled(custom);
        timeOfDayEdit->setEnabled(index == ChangeSchedule::timeOfDayPosition);
    });
    connect(timeOfDayEdit, &QTimeEdit::timeChanged, this, &ModernWindow::onSettingsChanged);
    for (ToggleSwitch* toggle : {pauseFullScreenToggle, pauseOnBatteryToggle, changeOnUnlockToggle})
        connect(toggle, &ToggleSwitch::toggled, this, &ModernWindow::onSettingsChanged);
    connect(customValueSpinBox, &QSpinBox::valueChanged, this, &ModernWindow::onSettingsChanged);
    connect(customUnitCombo, &QComboBox::currentIndexChanged, this, &ModernWindow::onSettingsChanged);
    connect(adjustmentCombo, &QComboBox::currentIndexChanged, this,
            [this, imageLabel](int index) { showAdjustmentMode(imageLabel, index); });
    connect(adjustmentCombo, &QComboBox::currentIndexChanged, this, &ModernWindow::onSettingsChanged);
    connect(startupToggle, &ToggleSwitch::toggled, this, &ModernWindow::onSettingsChanged);
    connect(startupToggle, &ToggleSwitch::toggled, this, &ModernWindow::onStartupToggled);
    connect(changeOnStartupToggle, &ToggleSwitch::toggled, this, &ModernWindow::onSettingsChanged);
    connect(multiScreenToggle, &ToggleSwitch::toggled, this, &ModernWindow::onSettingsChanged);
    connect(multiScreenToggle, &ToggleSwitch::toggled, this, &ModernWindow::onMultiScreenToggled);
    connect(applyButton, &QPushButton::clicked, this, &ModernWindow::onApplySettings);

    keepTranslated(page, [this, tab] { tabWidget->setTabText(tab, tr("Настройки")); });
}

void ModernWindow::showAdjustmentMode(QLabel* imageLabel, int index)
{
    const QString key = adjustmentCombo->itemData(index).toString();
    const QPixmap picture(getImagePath(QStringLiteral("wallpaper_%1_icon.png").arg(key)));
    if (!picture.isNull()) {
        imageLabel->setStyleSheet(QString::fromUtf8(kPictureStyle));
        // Scaled in device pixels, so that it stays sharp on a high-density screen.
        const qreal ratio = imageLabel->devicePixelRatioF();
        QPixmap scaled = picture.scaled(kAdjustmentPictureBox * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        imageLabel->setPixmap(scaled);
    } else {
        imageLabel->setStyleSheet(QString::fromUtf8(kPictureTextStyle));
        imageLabel->setText(adjustmentCombo->itemText(index));
    }
    updateAdjustmentExplanation(index);
}

void ModernWindow::loadSettings()
{
    isLoadingSettings = true;
    // A settings file that is no settings text would be overwritten by the
    // next save: it is kept aside, and the program starts from the defaults.
    const QString setAside = SettingsFile::setAsideIfDamaged(SettingsFile::userSettingsPath());
    if (!setAside.isEmpty())
        qDebug() << "[INIT] Paramètres illisibles mis de côté:" << setAside;
    {
        QSettings settings = openSettings();
        // A store that cannot be read at all gives the defaults.
        if (settings.status() != QSettings::NoError)
            qDebug() << "[INIT] Paramètres illisibles, valeurs par défaut utilisées:" << settings.fileName();

        selectStoredPosition(frequencyCombo, settings.value(SettingsKeys::Frequency, 0));
        customValueSpinBox->setValue(settings.value(SettingsKeys::CustomValue, 30).toInt());
        selectStoredPosition(customUnitCombo, settings.value(SettingsKeys::CustomUnit, 0));
        const QTime time =
            QTime::fromString(settings.value(SettingsKeys::TimeOfDay).toString(), QStringLiteral("HH:mm"));
        timeOfDayEdit->setTime(time.isValid() ? time : ChangeSchedule::defaultTimeOfDay());
        pauseFullScreenToggle->setChecked(settings.value(SettingsKeys::PauseFullScreen, false).toBool());
        pauseOnBatteryToggle->setChecked(settings.value(SettingsKeys::PauseOnBattery, false).toBool());
        changeOnUnlockToggle->setChecked(settings.value(SettingsKeys::ChangeOnUnlock, false).toBool());
        selectStoredPosition(adjustmentCombo, settings.value(SettingsKeys::Adjustment, 0));

        const bool startWithSystem = settings.value(SettingsKeys::StartWithSystem, true).toBool();
        startupToggle->setChecked(startWithSystem);
        changeOnStartupToggle->setChecked(settings.value(SettingsKeys::ChangeOnStartup, false).toBool());
        changeOnStartupToggle->setEnabled(startWithSystem);
        multiScreenToggle->setChecked(settings.value(SettingsKeys::MultiScreen, true).toBool());
        changeHookEdit->setText(settings.value(SettingsKeys::ChangeHook).toString());
    }

    loadCategoryRatings();
    loadHistoryFromSettings();
    dontShowMultiScreenWarning = openSettings().value(SettingsKeys::DontShowMultiScreenWarning, false).toBool();
    populateHistoryScreenCombo();
    isLoadingSettings = false;

    updateCountdownFromSettings();
    updateFrequencyOptions();
    if (screenSelector)
        onMultiScreenToggled(multiScreenToggle->isChecked());
}

void ModernWindow::saveSettings()
{
    {
        QSettings settings = openSettings();
        settings.setValue(SettingsKeys::Frequency, frequencyCombo->currentIndex());
        settings.setValue(SettingsKeys::CustomValue, customValueSpinBox->value());
        settings.setValue(SettingsKeys::CustomUnit, customUnitCombo->currentIndex());
        settings.setValue(SettingsKeys::TimeOfDay, timeOfDayEdit->time().toString(QStringLiteral("HH:mm")));
        settings.setValue(SettingsKeys::PauseFullScreen, pauseFullScreenToggle->isChecked());
        settings.setValue(SettingsKeys::PauseOnBattery, pauseOnBatteryToggle->isChecked());
        settings.setValue(SettingsKeys::ChangeOnUnlock, changeOnUnlockToggle->isChecked());
        settings.setValue(SettingsKeys::Adjustment, adjustmentCombo->currentIndex());
        settings.setValue(SettingsKeys::StartWithSystem, startupToggle->isChecked());
        settings.setValue(SettingsKeys::ChangeOnStartup, changeOnStartupToggle->isChecked());
        settings.setValue(SettingsKeys::MultiScreen, multiScreenToggle->isChecked());
        settings.setValue(SettingsKeys::ChangeHook, changeHookEdit->text().trimmed());
    }
    saveHistoryToSettings();
}

void ModernWindow::onApplySettings()
{
    saveSettings();
    updateCountdownFromSettings();
    applyButton->setEnabled(false);
}

void ModernWindow::onSettingsChanged()
{
    if (isLoadingSettings || !applyButton)
        return;
    applyButton->setEnabled(true);
}

void ModernWindow::onStartupToggled(bool enabled)
{
    if (changeOnStartupToggle) {
        if (!enabled)
            changeOnStartupToggle->setChecked(false);
        changeOnStartupToggle->setEnabled(enabled);
    }
    updateFrequencyOptions();
    applyStartupSetting(enabled);
}

void ModernWindow::updateFrequencyOptions() {}

void ModernWindow::applyStartupSetting(bool enabled)
{
    PlatformServices& platform = *environment.platform;
    if (!enabled) {
        StartupManager::removeFromWindowsStartup(platform, StartupManager::entryName());
        return;
    }
    if (!StartupManager::addToWindowsStartup(platform, StartupManager::entryName(),
                                             QCoreApplication::applicationFilePath())) {
        qDebug() << "[INIT] Impossible d'enregistrer le démarrage automatique";
        // Announced like a click: the change-at-start switch follows and the old entry goes.
        if (startupToggle)
            startupToggle->setChecked(false);
    }
}

bool ModernWindow::checkStartupStatus()
{
    return StartupManager::isInWindowsStartup(*environment.platform, StartupManager::entryName());
}

void ModernWindow::updateAdjustmentOptions(bool multiScreenEnabled)
{
    if (!adjustmentCombo)
        return;
    auto* model = qobject_cast<QStandardItemModel*>(adjustmentCombo->model());
    if (!model || model->rowCount() <= kSpanPosition)
        return;
    QStandardItem* span = model->item(kSpanPosition);
    if (multiScreenEnabled) {
        // A different picture on each screen cannot also be one picture spanning them.
        span->setEnabled(false);
        span->setForeground(QColor(128, 128, 128));
        if (adjustmentCombo->currentIndex() == kSpanPosition) {
            adjustmentCombo->setCurrentIndex(0);
            onSettingsChanged();
        }
    } else {
        span->setEnabled(true);
        span->setForeground(QColor(255, 255, 255));
    }
}

void ModernWindow::updateAdjustmentExplanation(int index)
{
    if (!adjustmentExplanationLabel)
        return;
    const bool known = index >= 0 && index < int(std::size(kAdjustmentModes));
    adjustmentExplanationLabel->setText(known ? tr(kAdjustmentModes[index].explanation)
                                              : tr("Выбранный режим подгонки"));
}

void ModernWindow::addLanguageRow(QVBoxLayout* layout, QWidget* parent)
{
    auto* group = new QGroupBox(parent);
    group->setObjectName(QStringLiteral("languageGroup"));
    group->setFixedWidth(280);
    keepTranslated(group, [group] { group->setTitle(tr("Язык")); });
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(15, 10, 15, 10);
    languageCombo = makeCombo(QStringLiteral("languageCombo"), group);
    // The languages' own names are never translated; the other two items are.
    const std::pair<Language, const char*> items[] = {
        {Language::AsDesigned, QT_TR_NOOP("Как задумано")},
        {Language::English, nullptr},
        {Language::French, nullptr},
        {Language::Russian, nullptr},
        {Language::System, QT_TR_NOOP("System")},
    };
    const QString names[] = {QString(), QStringLiteral("English"), QStringLiteral("Français"),
                             QStringLiteral("Русский"), QString()};
    for (std::size_t i = 0; i < std::size(items); ++i)
        languageCombo->addItem(items[i].second ? tr(items[i].second) : names[i], int(items[i].first));
    keepTranslated(languageCombo, [this] {
        languageCombo->setItemText(0, tr("Как задумано"));
        languageCombo->setItemText(4, tr("System"));
    });
    const int stored = languageCombo->findData(int(LanguageSetting::stored()));
    languageCombo->setCurrentIndex(stored < 0 ? 0 : stored);
    row->addWidget(languageCombo);
    layout->addWidget(group);
    // Applied and kept at once, like the key row: no restart, no save button.
    connect(languageCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        const auto language = Language(languageCombo->itemData(index).toInt());
        LanguageSetting::store(language);
        applyLanguage(language);
    });
}

void ModernWindow::retranslateSettingsTab()
{
    showItems(frequencyCombo, kFrequencyItems);
    showItems(customUnitCombo, kCustomUnits);
    for (int i = 0; i < int(std::size(kAdjustmentModes)) && i < adjustmentCombo->count(); ++i)
        adjustmentCombo->setItemText(i, tr(kAdjustmentModes[i].text.source, kAdjustmentModes[i].text.comment));
    // The picture's stand-in text (when it is missing) and the explanation.
    if (auto* imageLabel = tabWidget->findChild<QLabel*>(QStringLiteral("adjustmentImageLabel")))
        showAdjustmentMode(imageLabel, adjustmentCombo->currentIndex());
    const QWidget* page = tabWidget->findChild<QWidget*>(QStringLiteral("settingsPage"));
    for (QLabel* label : page->findChildren<QLabel*>()) {
        const QByteArray source = label->property(kSourceTextProperty).toByteArray();
        if (!source.isEmpty())
            label->setText(tr(source.constData()));
    }
}
