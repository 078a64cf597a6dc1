#pragma once

#include <QWidget>

class QPropertyAnimation;

// A pill-shaped on/off switch whose knob slides and whose track blends from
// grey to blue. The state changes at once; only the picture is animated.
class ToggleSwitch : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal animationProgress READ animationProgress WRITE setAnimationProgress)

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    bool isChecked() const;
    // Animates and emits toggled() exactly like a click, but only on a real change.
    void setChecked(bool checked);

    qreal animationProgress() const;
    void setAnimationProgress(qreal progress);

Q_SIGNALS:
    void toggled(bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Space and Enter toggle, as a click does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_checked = false;
    qreal m_animationProgress = 0.0;
    QPropertyAnimation* m_animation = nullptr;
};
