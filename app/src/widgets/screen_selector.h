#pragma once

#include <QList>
#include <QMap>
#include <QWidget>

// A one-row bar of numbered tabs, one per monitor, in which the user picks
// the monitors the next wallpaper change applies to. Selected tabs are red; a
// tab whose screen may not be deselected yet carries a padlock, and clicking
// it while selected only reports the attempt.
class ScreenSelector : public QWidget
{
    Q_OBJECT

public:
    explicit ScreenSelector(QWidget* parent = nullptr);

    void setScreenSelected(int screenIndex, bool selected);
    bool isScreenSelected(int screenIndex) const;
    QList<int> getSelectedScreens() const;

    void setScreenCanBeDeselected(int screenIndex, bool canDeselect);
    bool canScreenBeDeselected(int screenIndex) const;

    int screenCount() const;

    // What a click on a tab does: selects it, deselects it when allowed, or
    // reports the blocked attempt. The keyboard and screen readers come here too.
    void toggleScreen(int screenIndex);
    // The tab the keyboard is on (arrow keys move it, Space toggles it).
    int focusedScreen() const;

    // Re-reads the screens after a display change. Known screens keep their
    // flags; new ones come selected and deselectable.
    void refresh();

Q_SIGNALS:
    void screenSelectionChanged(const QList<int>& selectedScreens);
    void screenDeselectionBlocked(int screenIndex);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setupScreens();
    void setupUI();

    int m_screenCount = 1;
    QMap<int, bool> m_selectedScreens;
    QMap<int, bool> m_canBeDeselected;
    bool m_isRefreshing = false;
    int m_focusedScreen = 0;
};
