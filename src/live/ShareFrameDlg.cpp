#include "ShareFrameDlg.h"

#include "XPushButton.h"

#include <QCloseEvent>
#include <QPainter>
#include <QRegion>

const QColor ShareFrameDlg::frameColor(24, 168, 32);

namespace {

constexpr int buttonWidth = 80;
constexpr int buttonHeight = 28;
constexpr int buttonTop = 8;

XPushButton *makeButton(QWidget *parent, const QString &text)
{
    auto *button = new XPushButton(parent, text, text);
    button->resize(buttonWidth, buttonHeight);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton{background:rgb(24,168,32);color:#ffffff;"
                                         "border:none;border-radius:4px;}"
                                         "QPushButton:hover{background:rgb(36,196,46);}"));
    return button;
}

} // namespace

ShareFrameDlg::ShareFrameDlg(QWidget *owner) : XDialog(nullptr)
{
    ownerWidget = owner;
    setObjectName(QStringLiteral("ShareFrameDlg"));
    setWindowFlags(windowFlags() | Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setTitle(QStringLiteral("屏幕共享"));
    // The frame is drawn, not titled: its buttons are the controls.
    setTitleBarVisible(false);
    setStaysOnTop();
    pbMouse = makeButton(this, QStringLiteral("鼠标"));
    pbPen = makeButton(this, QStringLiteral("画笔"));
    pbStop = makeButton(this, QStringLiteral("停止共享"));
    connect(pbMouse, &QPushButton::clicked, this, &ShareFrameDlg::slotMouseMode);
    connect(pbPen, &QPushButton::clicked, this, &ShareFrameDlg::slotPenMode);
    connect(pbStop, &QPushButton::clicked, this, &ShareFrameDlg::slotStopShare);
    bgColor = Qt::transparent;
}

XPushButton *ShareFrameDlg::button(const QString &name) const
{
    for (XPushButton *b : {pbMouse, pbPen, pbStop}) {
        if (b->objectName() == name) {
            return b;
        }
    }
    return nullptr;
}

void ShareFrameDlg::slotMouseMode()
{
    penMode = false;
    bgColor = Qt::transparent;
    applyInputMask();
    update();
}

void ShareFrameDlg::slotPenMode()
{
    penMode = true;
    bgColor = QColor(255, 255, 255, 1);
    applyInputMask();
    update();
}

void ShareFrameDlg::slotStopShare()
{
    close();
}

// A fully transparent window still takes the clicks on X11; in mouse mode only the frame and
// the buttons keep them, so the shared content stays usable.
void ShareFrameDlg::applyInputMask()
{
    if (penMode) {
        clearMask();
        return;
    }
    QRegion region(rect());
    region -= QRegion(inner.adjusted(borderWidth, borderWidth, -borderWidth, -borderWidth));
    for (XPushButton *b : {pbMouse, pbPen, pbStop}) {
        region += b->geometry();
    }
    setMask(region);
}

void ShareFrameDlg::showEvent(QShowEvent *event)
{
    XDialog::showEvent(event);
    if (ownerWidget != nullptr) {
        ownerWidget->hide();
    }
}

void ShareFrameDlg::closeEvent(QCloseEvent *event)
{
    XDialog::closeEvent(event);
    if (!event->isAccepted()) {
        return;
    }
    emit signalShareFrameClosed();
    if (ownerWidget != nullptr) {
        ownerWidget->show();
        ownerWidget->raise();
    }
}

void ShareFrameDlg::resizeEvent(QResizeEvent *event)
{
    XDialog::resizeEvent(event);
    inner = QRect(borderWidth, borderWidth, width() - 2 * borderWidth, height() - 2 * borderWidth);
    const int right = width() - 8;
    pbStop->move(right - 80, buttonTop);
    pbPen->move(right - 168, buttonTop);
    pbMouse->move(right - 256, buttonTop);
    penMode = false;
    bgColor = Qt::transparent;
    applyInputMask();
}

void ShareFrameDlg::paintEvent(QPaintEvent *event)
{
    XDialog::paintEvent(event);
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), bgColor);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPen pen(frameColor, borderWidth);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    const int half = borderWidth / 2;
    const QRect r = inner;
    // Top and bottom run past the corners so that the frame closes there.
    painter.drawLine(r.left() - borderWidth, r.top() - half, r.right() + 1 + borderWidth,
                     r.top() - half);
    painter.drawLine(r.left() - borderWidth, r.bottom() + 1 + half, r.right() + 1 + borderWidth,
                     r.bottom() + 1 + half);
    painter.drawLine(r.left() - half, r.top() - half, r.left() - half, r.bottom() + 1 + half);
    painter.drawLine(r.right() + 1 + half, r.top() - half, r.right() + 1 + half,
                     r.bottom() + 1 + half);
}
