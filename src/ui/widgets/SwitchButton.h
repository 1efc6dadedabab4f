#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

class QPropertyAnimation;

// The round knob of a SwitchButton; it paints itself and has no signals.
class Slider : public QWidget
{
    Q_OBJECT

public:
    explicit Slider(QWidget *parent = nullptr);

    QColor color = QColor(Qt::white);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// An animated on/off switch: a pill in the theme's colour (on) or disabled-text colour (off) with
// a white knob that slides to the right end when on and to the left end when off. Input is
// ignored while the knob moves. GUI thread only.
class SwitchButton : public QWidget
{
    Q_OBJECT

public:
    explicit SwitchButton(QWidget *parent = nullptr);

    void setSwitchGeometry(int x, int y, int w, int h);
    // Switches to `active` as a press would, emitting clicked; nothing when the switch is already
    // in that state or the knob is moving.
    void setActive(bool active);

    bool active() const { return isActive; }
    bool isReady() const { return ready; }
    int knobDiameter() const { return diameter; }
    int knobTravel() const { return travel; }
    int knobMargin() const { return margin; }
    int animationDuration() const { return duration; }
    QColor activeColor() const { return onColor; }
    QColor inactiveColor() const { return offColor; }
    Slider *slider() const { return knob; }
    // Where the knob rests in the given state.
    QRect knobRect(bool on) const;

signals:
    void clicked(bool isActive);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void toggle();
    void animate();

    bool isActive = false;
    bool ready = true;
    int diameter = 0;
    int travel = 0;
    qint16 margin = 2;
    int duration = 150;
    QColor onColor;
    QColor offColor;
    Slider *knob = nullptr;
    QPointer<QPropertyAnimation> animation;
};
