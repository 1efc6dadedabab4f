#include "XPushButton.h"

#include "Iconfont.h"
#include "ScreenUtil.h"
#include "ThemeStyle.h"

#include <QEvent>

#include <cmath>

namespace {
QString hex(const QColor &c)
{
    return c.name(QColor::HexArgb);
}
} // namespace

XPushButton::XPushButton(QWidget *parent, const QString &objectName, const QString &text)
    : QPushButton(text, parent), ownerWidget(parent)
{
    setCheckable(false);
    setObjectName(objectName);
}

QString XPushButton::iconButtonStyleSheet()
{
    const ThemeStyle *theme = ThemeStyle::instance();
    return QStringLiteral("QPushButton {color: %1; background:transparent; border-radius:0px; "
                          "border: none;}QPushButton:hover {color:%2;}"
                          "QPushButton:pressed {color:%2;}")
        .arg(hex(theme->textColor), hex(theme->themeColor));
}

XPushButton *XPushButton::createIconButton(QWidget *parent, const QString &objectName, int size,
                                           uint glyph, QColor color)
{
    const ThemeStyle *theme = ThemeStyle::instance();
    auto *button = new XPushButton(parent, objectName, QString());
    button->setStyleSheet(iconButtonStyleSheet());
    button->setCursor(Qt::PointingHandCursor);
    button->setGlyphSize(size);
    button->setGlyph(glyph, color.isValid() ? color : theme->textColor, theme->themeColor,
                     theme->themeColor);
    return button;
}

void XPushButton::setGlyphSize(int size)
{
    double ratio = ScreenUtil::aspectRatio(screen());
    if (ratio <= 0.0) {
        // No screen to measure: render at the shown size rather than at nothing.
        ratio = 1.0;
    }
    glyphSize = static_cast<int>(std::lround(size * ratio));
    setIconSize(QSize(size, size));
}

void XPushButton::setGlyph(uint glyph, QColor normal, QColor hover, QColor pressed)
{
    const ThemeStyle *theme = ThemeStyle::instance();
    if (!normal.isValid()) {
        normal = theme->textColor;
    }
    if (!hover.isValid()) {
        hover = theme->themeColor;
    }
    if (!pressed.isValid()) {
        pressed = theme->themeColor;
    }
    const Iconfont *font = Iconfont::instance();
    normalIcon = font->icon(glyph, normal, glyphSize);
    hoverIcon = font->icon(glyph, hover, glyphSize);
    pressedIcon = font->icon(glyph, pressed, glyphSize);
    setIcon(normalIcon);
}

bool XPushButton::event(QEvent *e)
{
    // A receiver may delete the button from its slot; the base class must not see it then.
    const QPointer<XPushButton> alive(this);
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        setIcon(pressedIcon.isNull() ? normalIcon : pressedIcon);
        emit signalPbMousePress(objectName());
        break;
    case QEvent::MouseButtonRelease:
        setIcon(normalIcon);
        emit signalPbMouseRelease(objectName());
        break;
    case QEvent::Enter:
        setIcon(hoverIcon.isNull() ? normalIcon : hoverIcon);
        emit signalPbMouseEnter(objectName());
        break;
    case QEvent::Leave:
        setIcon(normalIcon);
        emit signalPbMouseLeave(objectName());
        break;
    case QEvent::FocusOut:
        setIcon(normalIcon);
        break;
    default:
        break;
    }
    if (!alive) {
        return true;
    }
    return QPushButton::event(e);
}
