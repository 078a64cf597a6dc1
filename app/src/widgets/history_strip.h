#pragma once

#include <QList>
#include <QPushButton>
#include <QWidget>

class HistoryThumbnail;

// The row that holds the history thumbnails. The thumbnails leave the arrow
// keys and Enter to it: the arrows move between them (asking for the view to
// scroll at either end), Enter applies the one the keyboard is on.
class HistoryStrip : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryStrip(QWidget* parent = nullptr);

    // The thumbnails shown, left to right.
    QList<HistoryThumbnail*> thumbnails() const;
    // Picks it as a click does, then asks for it to be applied.
    void applyThumbnail(HistoryThumbnail* thumbnail);

Q_SIGNALS:
    // -1 for the older pictures to the left, +1 for those to the right.
    void scrollRequested(int direction);
    void applyRequested(HistoryThumbnail* thumbnail);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// One picture of the history strip; a ring shows the keyboard's place.
class HistoryThumbnail : public QPushButton
{
    Q_OBJECT

public:
    explicit HistoryThumbnail(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
