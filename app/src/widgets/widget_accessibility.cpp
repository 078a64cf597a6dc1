#include "widget_accessibility.h"

#include "countdown_widget.h"
#include "history_strip.h"
#include "screen_selector.h"
#include "toggle_switch.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QHash>
#include <QPointer>

namespace {

// Texts of the interfaces are made when asked, so they follow the language.
class WidgetAccessibility
{
    Q_DECLARE_TR_FUNCTIONS(WidgetAccessibility)

public:
    static QString applyAction() { return tr("Применить"); }
};

class ToggleSwitchAccessible : public QAccessibleWidget
{
public:
    explicit ToggleSwitchAccessible(ToggleSwitch* toggle) : QAccessibleWidget(toggle, QAccessible::CheckBox) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = toggle()->isChecked();
        return s;
    }

    QStringList actionNames() const override { return {toggleAction(), pressAction()}; }

    void doAction(const QString& name) override
    {
        if (name == toggleAction() || name == pressAction())
            toggle()->setChecked(!toggle()->isChecked());
    }

private:
    ToggleSwitch* toggle() const { return static_cast<ToggleSwitch*>(widget()); }
};

// One screen of the selector: it has no widget of its own.
class ScreenTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
    Q_DECLARE_TR_FUNCTIONS(ScreenTabAccessible)

public:
    ScreenTabAccessible(ScreenSelector* selector, int index) : m_selector(selector), m_index(index) {}

    bool isValid() const override { return m_selector && m_index < m_selector->screenCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_selector ? m_selector->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_selector); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return tr("Экран %1").arg(m_index + 1);
        if (t == QAccessible::Description && m_selector->isScreenSelected(m_index) &&
            !m_selector->canScreenBeDeselected(m_index))
            return tr("Выбор нельзя снять, пока на экране нет новых обоев");
        return {};
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const int tabWidth = m_selector->width() / m_selector->screenCount();
        return QRect(m_selector->mapToGlobal(QPoint(m_index * tabWidth, 0)), QSize(tabWidth, m_selector->height()));
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.multiSelectable = true;
        s.checkable = true;
        s.focusable = true;
        s.selected = m_selector->isScreenSelected(m_index);
        s.checked = s.selected;
        // Selected and not to be deselected yet: the padlock.
        s.readOnly = s.selected && !m_selector->canScreenBeDeselected(m_index);
        s.focused = m_selector->hasFocus() && m_selector->focusedScreen() == m_index;
        s.invisible = !m_selector->isVisible();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override
    {
        if (isValid() && name == toggleAction())
            m_selector->toggleScreen(m_index);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<ScreenSelector> m_selector;
    int m_index;
};

class ScreenSelectorAccessible : public QAccessibleWidget
{
    Q_DECLARE_TR_FUNCTIONS(ScreenSelectorAccessible)

public:
    explicit ScreenSelectorAccessible(ScreenSelector* selector) : QAccessibleWidget(selector, QAccessible::List) {}

    ~ScreenSelectorAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_children))
            QAccessible::deleteAccessibleInterface(id);
    }

    QString text(QAccessible::Text t) const override
    {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return tr("Экраны для смены обоев");
        return own;
    }

    int childCount() const override { return selector()->screenCount(); }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (const auto id = m_children.value(index))
            return QAccessible::accessibleInterface(id);
        auto* tab = new ScreenTabAccessible(selector(), index);
        m_children.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (auto it = m_children.cbegin(); it != m_children.cend(); ++it) {
            if (QAccessible::accessibleInterface(it.value()) == child)
                return it.key();
        }
        return -1;
    }

    QAccessibleInterface* focusChild() const override
    {
        return selector()->hasFocus() ? child(selector()->focusedScreen()) : nullptr;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            if (QAccessibleInterface* tab = child(i); tab && tab->rect().contains(x, y))
                return tab;
        }
        return nullptr;
    }

private:
    ScreenSelector* selector() const { return static_cast<ScreenSelector*>(widget()); }

    mutable QHash<int, QAccessible::Id> m_children;
};

class DialAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
    Q_DECLARE_TR_FUNCTIONS(DialAccessible)

public:
    explicit DialAccessible(CountdownWidget* dial) : QAccessibleWidget(dial, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return dial()->displayText();
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return tr("Следующее Изменение");
        return own;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return std::max(0, dial()->secondsUntilExpiry()); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return std::max(0, dial()->totalSeconds()); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    CountdownWidget* dial() const { return static_cast<CountdownWidget*>(widget()); }
};

class HistoryStripAccessible : public QAccessibleWidget
{
    Q_DECLARE_TR_FUNCTIONS(HistoryStripAccessible)

public:
    explicit HistoryStripAccessible(HistoryStrip* strip) : QAccessibleWidget(strip, QAccessible::List) {}

    QString text(QAccessible::Text t) const override
    {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return tr("История");
        return own;
    }
};

class HistoryThumbnailAccessible : public QAccessibleWidget
{
public:
    explicit HistoryThumbnailAccessible(HistoryThumbnail* thumbnail)
        : QAccessibleWidget(thumbnail, QAccessible::ListItem)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = thumbnail()->isChecked();
        return s;
    }

    QStringList actionNames() const override { return {pressAction(), WidgetAccessibility::applyAction()}; }

    void doAction(const QString& name) override
    {
        if (name == pressAction()) {
            thumbnail()->click();
        } else if (name == WidgetAccessibility::applyAction()) {
            if (auto* strip = qobject_cast<HistoryStrip*>(thumbnail()->parentWidget()))
                strip->applyThumbnail(thumbnail());
        }
    }

private:
    HistoryThumbnail* thumbnail() const { return static_cast<HistoryThumbnail*>(widget()); }
};

QAccessibleInterface* widgetAccessibleFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("ToggleSwitch"))
        return new ToggleSwitchAccessible(static_cast<ToggleSwitch*>(object));
    if (className == QLatin1String("ScreenSelector"))
        return new ScreenSelectorAccessible(static_cast<ScreenSelector*>(object));
    if (className == QLatin1String("CountdownWidget"))
        return new DialAccessible(static_cast<CountdownWidget*>(object));
    if (className == QLatin1String("HistoryStrip"))
        return new HistoryStripAccessible(static_cast<HistoryStrip*>(object));
    if (className == QLatin1String("HistoryThumbnail"))
        return new HistoryThumbnailAccessible(static_cast<HistoryThumbnail*>(object));
    return nullptr;
}

} // namespace

void installWidgetAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(widgetAccessibleFactory);
}
