#include "SwitchButton.h"

#include "ThemeStyle.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

#include <algorithm>

Slider::Slider(QWidget *parent) : QWidget(parent)
{
    // Presses on the knob are presses on the switch.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Slider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.fillRect(rect(), Qt::transparent);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(rect(), width() / 2, height() / 2);
}

SwitchButton::SwitchButton(QWidget *parent) : QWidget(parent)
{
    const ThemeStyle *theme = ThemeStyle::instance();
    onColor = theme->themeColor;
    offColor = theme->textColorDisable;
    resize(60, 30);
    knob = new Slider(this);
    const int side = height() - 2 * margin;
    knob->resize(side, side);
    knob->move(margin, margin);
    diameter = std::min(width(), height());
    travel = width() - diameter;
    setCursor(Qt::PointingHandCursor);
}

QRect SwitchButton::knobRect(bool on) const
{
    const QSize size = knob->size();
    return on ? QRect(QPoint(width() - margin - size.width(), margin), size)
              : QRect(QPoint(margin, margin), size);
}

void SwitchButton::setSwitchGeometry(int x, int y, int w, int h)
{
    // A knob still moving towards a place computed for the old size stops where it is.
    if (animation) {
        animation->stop();
        ready = true;
    }
    setGeometry(x, y, w, h);
    resize(w, h);
    const int side = h - 2 * margin;
    knob->resize(side, side);
    diameter = std::min(w, h);
    travel = w - diameter;
    // The knob rests where the state puts it, so an active switch keeps its knob on the right.
    knob->move(knobRect(isActive).topLeft());
    update();
}

void SwitchButton::setActive(bool active)
{
    if (active != isActive && ready) {
        toggle();
    }
}

void SwitchButton::toggle()
{
    isActive = !isActive;
    ready = false;
    animate();
    emit clicked(isActive);
}

void SwitchButton::animate()
{
    auto *anim = new QPropertyAnimation(knob, "geometry", this);
    anim->setDuration(duration);
    // Both directions start where the knob is.
    anim->setStartValue(knob->geometry());
    anim->setEndValue(knobRect(isActive));
    connect(anim, &QPropertyAnimation::valueChanged, this, [this] { update(); });
    connect(anim, &QPropertyAnimation::finished, this, [this] {
        ready = true;
        update();
    });
    animation = anim;
    anim->start(QAbstractAnimation::DeleteWhenStopped);
}

void SwitchButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isActive ? onColor : offColor);
    QPainterPath path;
    path.addEllipse(QRectF(0, 0, diameter, diameter));
    QPainterPath middle;
    middle.addRect(QRectF(diameter / 2, 0, travel, diameter));
    QPainterPath right;
    right.addEllipse(QRectF(travel, 0, diameter, diameter));
    path = path.united(middle).united(right);
    painter.drawPath(path);
}

void SwitchButton::mousePressEvent(QMouseEvent *event)
{
    if (ready) {
        // A receiver of clicked may delete the switch; the base class must not see it then.
        const QPointer<SwitchButton> alive(this);
        toggle();
        if (!alive) {
            return;
        }
    }
    QWidget::mousePressEvent(event);
}
