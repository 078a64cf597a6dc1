// The keyboard's way through the window and what screen readers are told:
// object names and tab order once the tabs are built, the spoken texts (again
// after a change of language), the history strip's keys and the banner's alert.

#include "modern_window.h"

#include "core/settings_keys.h"
#include "utils/settings_store.h"
#include "widgets/countdown_widget.h"
#include "widgets/history_strip.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"
#include "widgets/widget_accessibility.h"

#include <QAccessible>
#include <QComboBox>
#include <QEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTimeEdit>

namespace {

// Says the banner when it appears; its text changes announce themselves (a
// label without a name of its own reports each new text as its name).
class BannerAlert : public QObject
{
public:
    BannerAlert(QWidget* banner, QLabel* text) : QObject(banner), m_text(text) { banner->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && QAccessible::isActive()) {
            QAccessibleEvent alert(m_text, QAccessible::Alert);
            QAccessible::updateAccessibility(&alert);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QLabel* m_text;
};

// Each widget after the one before it; absent ones are left out.
void chainTabOrder(std::initializer_list<QWidget*> widgets)
{
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (!widget)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

// The label that names a control in the same row.
void nameByLabel(QWidget* control, const QString& labelName)
{
    if (!control || !control->parentWidget())
        return;
    const QList<QLabel*> labels = control->parentWidget()->findChildren<QLabel*>(labelName);
    if (!labels.isEmpty())
        labels.first()->setBuddy(control);
}

} // namespace

void ModernWindow::setupAccessibility()
{
    installWidgetAccessibility();

    changeNowButton->setObjectName(QStringLiteral("changeNowButton"));
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    countdownWidget->setObjectName(QStringLiteral("countdownWidget"));
    screenSelector->setObjectName(QStringLiteral("screenSelector"));
    errorAlertWidget->setObjectName(QStringLiteral("errorAlertWidget"));
    errorAlertLabel->setObjectName(QStringLiteral("errorAlertLabel"));
    errorDetailsButton->setObjectName(QStringLiteral("errorDetailsButton"));
    historyCarouselWidget->setObjectName(QStringLiteral("historyStrip"));

    // The thumbnails take the keys; the strip's frame is no stop of its own.
    historyCarouselScrollArea->setFocusPolicy(Qt::NoFocus);
    if (auto* strip = qobject_cast<HistoryStrip*>(historyCarouselWidget)) {
        connect(strip, &HistoryStrip::scrollRequested, this, [this](int direction) {
            // After the key's delivery: scrolling replaces the thumbnail that has it.
            QMetaObject::invokeMethod(
                this,
                [this, direction] {
                    if (direction < 0)
                        onHistoryPrevClicked();
                    else
                        onHistoryNextClicked();
                    const QList<HistoryThumbnail*> shown =
                        static_cast<HistoryStrip*>(historyCarouselWidget)->thumbnails();
                    if (!shown.isEmpty())
                        (direction < 0 ? shown.first() : shown.last())->setFocus(Qt::OtherFocusReason);
                },
                Qt::QueuedConnection);
        });
        // The thumbnail is picked as by a click; the apply runs as the button's would.
        connect(strip, &HistoryStrip::applyRequested, this, [this] {
            QMetaObject::invokeMethod(this, &ModernWindow::onApplyHistoryClicked, Qt::QueuedConnection);
        });
    }
    new BannerAlert(errorAlertWidget, errorAlertLabel);

    nameByLabel(globalShortcutEdit, QStringLiteral("globalShortcutLabel"));
    nameByLabel(changeHookEdit, QStringLiteral("settingsToggleLabel"));

    // The wallpaper tab top to bottom, the history strip between its arrows.
    chainTabOrder({screenSelector, changeNowButton, countdownWidget, errorDetailsButton,
                   findChild<QPushButton*>(QStringLiteral("historyApplyButton")), historyPrevButton,
                   historyNextButton});
    // The settings tab: the left column, then the right, then the bottom row's command and apply button.
    chainTabOrder({frequencyCombo, customValueSpinBox, customUnitCombo, timeOfDayEdit, pauseFullScreenToggle,
                   pauseOnBatteryToggle, changeOnUnlockToggle, startupToggle, changeOnStartupToggle, multiScreenToggle,
                   globalShortcutEdit, adjustmentCombo, changeHookEdit, applyButton});

    updateAccessibleTexts();
}

void ModernWindow::updateAccessibleTexts()
{
    // Controls that a label beside them names are left to it.
    changeNowButton->setAccessibleName(tr("Изменить Сейчас"));
    statusLabel->setAccessibleDescription(tr("Состояние смены обоев"));
    countdownWidget->setAccessibleName(tr("Следующее Изменение"));
    countdownWidget->setAccessibleDescription(tr("Время до следующей смены обоев"));
    screenSelector->setAccessibleName(tr("Экраны для смены обоев"));
    screenSelector->setAccessibleDescription(tr("Стрелки выбирают экран, пробел отмечает его"));
    errorAlertWidget->setAccessibleName(tr("Ошибка при получении категорий"));
    historyCarouselWidget->setAccessibleName(tr("История"));
    historyCarouselWidget->setAccessibleDescription(tr("Стрелки выбирают обои, Enter применяет их"));
    historyPrevButton->setAccessibleName(tr("Более новые обои"));
    historyNextButton->setAccessibleName(tr("Более старые обои"));
    frequencyCombo->setAccessibleName(tr("Частота изменения"));
    customValueSpinBox->setAccessibleName(tr("Интервал"));
    customUnitCombo->setAccessibleName(tr("Единица интервала"));
    timeOfDayEdit->setAccessibleName(tr("Время смены"));
    adjustmentCombo->setAccessibleName(tr("Режим подгонки изображения"));
    if (historyCarouselWidget) {
        const QList<QPushButton*> thumbnails = historyCarouselWidget->findChildren<QPushButton*>();
        for (QPushButton* thumbnail : thumbnails)
            describeHistoryThumbnail(thumbnail);
    }
}

void ModernWindow::describeHistoryThumbnail(QPushButton* button)
{
    const QString filename = button->property("filename").toString();
    const int screenIndex = button->property("screenIndex").toInt();
    QStringList parts;
    for (const HistoryEntry& entry : std::as_const(currentHistoryEntries)) {
        if (entry.filename == filename && entry.screenIndex == screenIndex) {
            if (entry.timestamp.isValid())
                parts.append(QLocale().toString(entry.timestamp, QLocale::ShortFormat));
            break;
        }
    }
    // The category is known for the picture a screen shows now.
    const PictureSource source = currentPictureSource(getScreenUniqueId(screenIndex));
    if (source.file == filename) {
        const QString& category = source.category;
        if (!category.isEmpty())
            parts.append(tr("категория %1").arg(category));
    }
    parts.append(tr("экран %1").arg(screenIndex + 1));
    button->setAccessibleName(tr("Обои: %1").arg(parts.join(QStringLiteral(", "))));
    button->setAccessibleDescription(filename);

    // Between the strip's arrows in the tab order, after the thumbnails before it.
    if (historyCarouselWidget && button->parentWidget() == historyCarouselWidget) {
        QWidget* before = historyPrevButton;
        const QList<QPushButton*> thumbnails =
            historyCarouselWidget->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
        for (QPushButton* other : thumbnails) {
            if (other == button)
                break;
            before = other;
        }
        QWidget::setTabOrder(before, button);
        QWidget::setTabOrder(button, historyNextButton);
    }
}
