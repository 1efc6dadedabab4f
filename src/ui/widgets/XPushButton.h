#pragma once

#include <QColor>
#include <QIcon>
#include <QPointer>
#include <QPushButton>
#include <QString>

// A push button that reports hover, press and release by its object name and shows a glyph icon
// of the icon font in one of three colours: normal, hovered and pressed. GUI thread only.
class XPushButton : public QPushButton
{
    Q_OBJECT

public:
    XPushButton(QWidget *parent, const QString &objectName, const QString &text);

    // A text-less, borderless, transparent button showing `glyph`, used by the camera controls.
    static XPushButton *createIconButton(QWidget *parent, const QString &objectName, int size,
                                         uint glyph, QColor color);
    // The style sheet createIconButton gives its button.
    static QString iconButtonStyleSheet();

    // The glyph is rendered at size x the screen's aspect ratio and shown at size x size.
    void setGlyphSize(int size);
    // Invalid colours fall back to the theme: normal to textColor, hover and pressed to
    // themeColor. Shows the normal icon.
    void setGlyph(uint glyph, QColor normal, QColor hover = QColor(), QColor pressed = QColor());

    QWidget *owner() const { return ownerWidget; }
    int getGlyphSize() const { return glyphSize; }
    QIcon getNormalIcon() const { return normalIcon; }
    QIcon getHoverIcon() const { return hoverIcon; }
    QIcon getPressedIcon() const { return pressedIcon; }

signals:
    void signalPbMouseEnter(QString objectName);
    void signalPbMouseLeave(QString objectName);
    void signalPbMousePress(QString objectName);
    void signalPbMouseRelease(QString objectName);

protected:
    bool event(QEvent *e) override;

private:
    QPointer<QWidget> ownerWidget;
    int glyphSize = 0;
    QIcon normalIcon;
    QIcon hoverIcon;
    QIcon pressedIcon;
};
