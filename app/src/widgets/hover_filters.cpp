#include "hover_filters.h"

#include "utils/utils.h"

#include <QEvent>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QVariant>

namespace {

const QString starStyle = QStringLiteral("QPushButton { border: none; background: transparent; color: %1; } "
                                         "QPushButton:hover { background: rgba(255,255,255,0.2); }");

bool isEnterOrLeave(const QEvent* event)
{
    return event->type() == QEvent::Enter || event->type() == QEvent::Leave;
}

void setVisibleIfFound(QWidget* widget, bool visible)
{
    if (widget)
        widget->setVisible(visible);
}

} // namespace

QByteArray categoryRatingProperty(const QString& categoryId)
{
    return QByteArrayLiteral("rating_") + categoryId.toLocal8Bit();
}

int shownCategoryRating(const QObject* window, const QString& categoryId)
{
    const QVariant value = window->property(categoryRatingProperty(categoryId).constData());
    return value.isValid() ? value.toInt() : 1;
}

void setStarButtonFace(QPushButton* star, bool active)
{
    const QPixmap picture(
        getImagePath(active ? QStringLiteral("star_active.png") : QStringLiteral("star_inactive.png")));
    if (!picture.isNull()) {
        star->setIcon(QIcon(picture));
        star->setText(QString());
        star->setStyleSheet(starStyle.arg(QStringLiteral("white")));
        return;
    }
    star->setIcon(QIcon());
    star->setText(QStringLiteral("★"));
    star->setStyleSheet(starStyle.arg(active ? QStringLiteral("gold") : QStringLiteral("gray")));
}

void showStarsInPanel(const QWidget* window, const QString& categoryId, int rating)
{
    const auto* panel = window->findChild<QWidget*>(QStringLiteral("ratingWidget_") + categoryId);
    if (!panel)
        return;
    for (int n = 1; n <= 3; ++n) {
        if (auto* star = panel->findChild<QPushButton*>(QStringLiteral("star_%1_%2").arg(categoryId).arg(n)))
            setStarButtonFace(star, n <= rating);
    }
}

CategoryHoverFilter::CategoryHoverFilter(QWidget* categoryFrame, const QString& categoryId, QWidget* parent)
    : QObject(parent), m_categoryFrame(categoryFrame), m_categoryId(categoryId), m_parent(parent)
{
}

bool CategoryHoverFilter::eventFilter(QObject* obj, QEvent* event)
{
    if (obj != m_categoryFrame || !isEnterOrLeave(event))
        return QObject::eventFilter(obj, event);

    const bool entering = event->type() == QEvent::Enter;
    const int rating = shownCategoryRating(m_parent, m_categoryId);
    auto* panel = m_categoryFrame->findChild<QWidget*>(QStringLiteral("ratingWidget_") + m_categoryId);
    auto* compact = m_categoryFrame->findChild<QWidget*>(QStringLiteral("currentRating_") + m_categoryId);
    QWidget* mark = nullptr;
    if (QWidget* around = m_categoryFrame->parentWidget())
        mark = around->findChild<QWidget*>(QStringLiteral("disableIcon_") + m_categoryId);
    auto* apply = m_categoryFrame->findChild<QWidget*>(QStringLiteral("applyBtn_") + m_categoryId);

    if (panel) {
        panel->setVisible(entering);
        setVisibleIfFound(compact, !entering);
        if (entering || rating == -1)
            setVisibleIfFound(mark, !entering);
    }
    // A disabled category offers nothing to apply.
    if (entering) {
        if (rating != -1)
            setVisibleIfFound(apply, true);
    } else {
        setVisibleIfFound(apply, false);
    }
    return QObject::eventFilter(obj, event);
}

StarHoverFilter::StarHoverFilter(QPushButton* starBtn, const QString& categoryId, int starIndex, QWidget* parent)
    : QObject(parent), m_starBtn(starBtn), m_categoryId(categoryId), m_starIndex(starIndex), m_parent(parent)
{
}

bool StarHoverFilter::eventFilter(QObject* obj, QEvent* event)
{
    if (obj == m_starBtn && isEnterOrLeave(event)) {
        updateStarPreview(m_categoryId,
                          event->type() == QEvent::Enter ? m_starIndex : shownCategoryRating(m_parent, m_categoryId));
    }
    return QObject::eventFilter(obj, event);
}

void StarHoverFilter::updateStarPreview(const QString& categoryId, int rating)
{
    showStarsInPanel(m_parent, categoryId, rating);
}

DisableHoverFilter::DisableHoverFilter(QPushButton* disableBtn, const QString& categoryId, QWidget* parent)
    : QObject(parent), m_disableBtn(disableBtn), m_categoryId(categoryId), m_parent(parent)
{
}

bool DisableHoverFilter::eventFilter(QObject* obj, QEvent* event)
{
    if (obj == m_disableBtn && isEnterOrLeave(event))
        updateStarPreview(m_categoryId,
                          event->type() == QEvent::Enter ? -1 : shownCategoryRating(m_parent, m_categoryId));
    return QObject::eventFilter(obj, event);
}

void DisableHoverFilter::updateStarPreview(const QString& categoryId, int rating)
{
    showStarsInPanel(m_parent, categoryId, rating);
}
