#pragma once

#include "XDialog.h"

class XPushButton;

// The frame around what is being shared, with the share's controls: "鼠标" lets the mouse reach
// what lies beneath, "画笔" takes the mouse, "停止共享" ends the share. Closing it reports the end.
class ShareFrameDlg : public XDialog
{
    Q_OBJECT

public:
    static constexpr int borderWidth = 4;
    static const QColor frameColor;

    explicit ShareFrameDlg(QWidget *owner = nullptr);

    QRect innerRect() const { return inner; }
    bool isPenMode() const { return penMode; }
    XPushButton *button(const QString &name) const;

signals:
    // The frame closed: the share is to stop and the live window to come back.
    void signalShareFrameClosed();

public slots:
    void slotMouseMode();
    void slotPenMode();
    void slotStopShare();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void applyInputMask();

    QRect inner;
    bool penMode = false;
    XPushButton *pbMouse = nullptr;
    XPushButton *pbPen = nullptr;
    XPushButton *pbStop = nullptr;
};
