#include "screen_selector.h"

#include "focus_ring.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <cmath>

namespace {
constexpr int barHeight = 35;
constexpr int tabMinimumWidth = 80;
constexpr qreal cornerRadius = 6;
} // namespace

ScreenSelector::ScreenSelector(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(barHeight);
    setFocusPolicy(Qt::StrongFocus);
    setupScreens();
    setupUI();
    for (int i = 0; i < m_screenCount; ++i)
        m_selectedScreens.insert(i, true);
}

void ScreenSelector::setupScreens()
{
    m_screenCount = std::max(1, int(QGuiApplication::screens().size()));
}

void ScreenSelector::setupUI()
{
    setMinimumSize(tabMinimumWidth * m_screenCount, barHeight);
    setMaximumHeight(barHeight);
}

void ScreenSelector::setScreenSelected(int screenIndex, bool selected)
{
    if (screenIndex < 0 || screenIndex >= m_screenCount)
        return;
    m_selectedScreens[screenIndex] = selected;
    update();
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(this, changed);
        event.setChild(screenIndex);
        QAccessible::updateAccessibility(&event);
    }
    Q_EMIT screenSelectionChanged(getSelectedScreens());
}

bool ScreenSelector::isScreenSelected(int screenIndex) const
{
    return m_selectedScreens.value(screenIndex, false);
}

QList<int> ScreenSelector::getSelectedScreens() const
{
    QList<int> selected;
    for (auto it = m_selectedScreens.cbegin(); it != m_selectedScreens.cend(); ++it) {
        if (it.value())
            selected.append(it.key());
    }
    return selected;
}

void ScreenSelector::setScreenCanBeDeselected(int screenIndex, bool canDeselect)
{
    m_canBeDeselected[screenIndex] = canDeselect;
    update();
}

bool ScreenSelector::canScreenBeDeselected(int screenIndex) const
{
    return m_canBeDeselected.value(screenIndex, false);
}

int ScreenSelector::screenCount() const
{
    return m_screenCount;
}

void ScreenSelector::refresh()
{
    if (m_isRefreshing)
        return;
    m_isRefreshing = true;

    const QMap<int, bool> oldSelected = m_selectedScreens;
    const QMap<int, bool> oldDeselectable = m_canBeDeselected;
    setupScreens();
    setupUI();
    m_focusedScreen = std::min(m_focusedScreen, m_screenCount - 1);
    m_selectedScreens.clear();
    m_canBeDeselected.clear();
    for (int i = 0; i < m_screenCount; ++i) {
        m_selectedScreens.insert(i, oldSelected.value(i, true));
        m_canBeDeselected.insert(i, oldDeselectable.value(i, true));
    }
    update();
    Q_EMIT screenSelectionChanged(getSelectedScreens());

    m_isRefreshing = false;
}

void ScreenSelector::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(background, QColor(QStringLiteral("#8b4513")));

    const int tabWidth = width() / m_screenCount;
    painter.save();
    painter.setClipPath(background);
    for (int i = 0; i < m_screenCount; ++i) {
        if (isScreenSelected(i))
            painter.fillRect(QRect(i * tabWidth, 0, tabWidth, height()), QColor(QStringLiteral("#d14836")));
    }
    painter.restore();

    painter.setPen(QPen(QColor(QStringLiteral("#5a3a1a")), 1));
    for (int i = 1; i < m_screenCount; ++i)
        painter.drawLine(i * tabWidth, 2, i * tabWidth, height() - 2);

    QFont bold = font();
    bold.setWeight(QFont::Bold);
    painter.setFont(bold);
    painter.setPen(QColor(QStringLiteral("#ffffff")));
    for (int i = 0; i < m_screenCount; ++i) {
        const QRect tab(i * tabWidth, 0, tabWidth, height());
        painter.drawText(tab, Qt::AlignCenter, QString::number(i + 1));
        if (!canScreenBeDeselected(i))
            painter.drawText(tab.adjusted(0, 0, -5, 0), Qt::AlignRight | Qt::AlignTop, QStringLiteral("🔒"));
    }

    // The keyboard's tab: a ring inside it.
    if (hasFocus()) {
        paintFocusRing(painter, QRectF(m_focusedScreen * tabWidth, 0, tabWidth, height()).adjusted(3, 3, -3, -3),
                       cornerRadius / 2);
    }
}

void ScreenSelector::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int tabWidth = width() / m_screenCount;
    // A bar narrower than its tab count has no tab to hit.
    if (tabWidth <= 0)
        return;
    const int index = int(std::trunc(event->position().x())) / tabWidth;
    if (index < 0 || index >= m_screenCount)
        return;
    m_focusedScreen = index;
    update();
    toggleScreen(index);
}

int ScreenSelector::focusedScreen() const
{
    return m_focusedScreen;
}

void ScreenSelector::toggleScreen(int index)
{
    if (index < 0 || index >= m_screenCount)
        return;
    if (!isScreenSelected(index))
        setScreenSelected(index, true);
    else if (canScreenBeDeselected(index))
        setScreenSelected(index, false);
    else
        Q_EMIT screenDeselectionBlocked(index);
}

void ScreenSelector::keyPressEvent(QKeyEvent* event)
{
    int target = m_focusedScreen;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        target = std::max(0, m_focusedScreen - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        target = std::min(m_screenCount - 1, m_focusedScreen + 1);
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = m_screenCount - 1;
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        toggleScreen(m_focusedScreen);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (target == m_focusedScreen)
        return;
    m_focusedScreen = target;
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(target);
        QAccessible::updateAccessibility(&focus);
    }
}
