#pragma once

#include "XScreenDialog.h"

#include <QMap>
#include <QPointer>

class QLabel;
class XOverlayDlg;

// The top-level window: frameless, painted by itself, with an optional small title bar,
// dragged by that bar or by its page, closed by Esc, optionally a popup and optionally masking
// its owner while shown.
class XDialog : public XScreenDialog
{
    Q_OBJECT

public:
    explicit XDialog(QWidget *parent = nullptr);
    ~XDialog() override;

    void setTitle(const QString &title);
    QString title() const { return titleText; }
    void setTitleBarVisible(bool visible);
    bool isTitleBarVisible() const { return titleBarVisible; }
    void setMaskOwner(QWidget *owner);
    XOverlayDlg *mask() const { return maskDlg; }
    void setStaysOnTop();
    void placeWebView(QWidget *view);

    QRect titleArea() const { return titleRect; }
    QWidget *titleButton(const QString &name) const { return titleButtons.value(name); }
    bool isPageDragging() const { return pageDragging; }
    bool isPopupMode() const { return popupMode; }

    // The maximised size in device pixels for a work area and pixel ratio.
    static QRect maximizedGeometry(const QRect &available, qreal devicePixelRatio);

    virtual void slotSingleApplicationMessage(const QString &message);
    virtual void dragFinished();
    virtual void minimizeWindow();
    virtual void maximizeWindow();
    virtual void restoreWindow();
    virtual void closeEx();

public slots:
    void slotPbMouseEnter(const QString &pbName);
    void slotPbMouseRelease(const QString &pbName);
    void slotWebMsg(const QString &funcName, const QString &param) override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

    void layoutTitleBar();
    void setApplicationFilter(bool installed);
    void startPageDrag(const QString &param);
    void endPageDrag();

    QString titleText;
    QLabel *titleLabel = nullptr;
    int titleLabelWidth = -1;
    bool titleBarVisible = false;
    bool minButtonWanted = false;
    bool maxButtonWanted = false;
    bool closeButtonWanted = true;
    QRect titleRect;
    QPoint nativeDragOffset;
    bool nativeDragging = false;
    int cornerRadius = 0;
    bool popupMode = false;
    XOverlayDlg *maskDlg = nullptr;
    QWidget *maskOwner = nullptr;
    bool destroying = false;
    bool skipNativeFrame = false;
    bool appFilterWanted = false;
    bool pageDragPending = false;
    bool appFilterInstalled = false;
    bool pageDragging = false;
    QPoint pageDragOffset;
    QMap<QString, QWidget *> titleButtons;

private:
    // Where the window manager does not maximise a frameless window itself, the window does.
    void settleMaximized();
    QRect geometryBeforeMaximize;
};
