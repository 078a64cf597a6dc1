#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QEvent;
class QPushButton;
class QWidget;

// Name of the window property that mirrors a category's rating.
QByteArray categoryRatingProperty(const QString& categoryId);
// The rating a category's tile shows: the window's mirrored property, 1 when unset.
int shownCategoryRating(const QObject* window, const QString& categoryId);

// A rating star's face: "star_active.png" or "star_inactive.png" beside the
// executable, or a gold or gray "★" when the picture cannot be loaded.
void setStarButtonFace(QPushButton* star, bool active);
// The stars of the rating panel "ratingWidget_<id>" lit up to rating (all dark for -1).
void showStarsInPanel(const QWidget* window, const QString& categoryId, int rating);

// While the pointer is over a tile: its rating panel and apply button in
// place of the compact stars and the disable mark. Never consumes an event.
class CategoryHoverFilter : public QObject
{
    Q_OBJECT

public:
    CategoryHoverFilter(QWidget* categoryFrame, const QString& categoryId, QWidget* parent);
    bool eventFilter(QObject* obj, QEvent* event) override;

private:
    QWidget* m_categoryFrame;
    QString m_categoryId;
    QWidget* m_parent;
};

// While the pointer is over star n: stars 1 to n lit, as a click would set them.
class StarHoverFilter : public QObject
{
    Q_OBJECT

public:
    StarHoverFilter(QPushButton* starBtn, const QString& categoryId, int starIndex, QWidget* parent);
    bool eventFilter(QObject* obj, QEvent* event) override;
    void updateStarPreview(const QString& categoryId, int rating);

private:
    QPushButton* m_starBtn;
    QString m_categoryId;
    int m_starIndex;
    QWidget* m_parent;
};

// While the pointer is over the disable button: every star dark.
class DisableHoverFilter : public QObject
{
    Q_OBJECT

public:
    DisableHoverFilter(QPushButton* disableBtn, const QString& categoryId, QWidget* parent);
    bool eventFilter(QObject* obj, QEvent* event) override;
    void updateStarPreview(const QString& categoryId, int rating);

private:
    QPushButton* m_disableBtn;
    QString m_categoryId;
    QWidget* m_parent;
};
