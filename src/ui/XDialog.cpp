#include "XDialog.h"

#include "Iconfont.h"
#include "JsonUtil.h"
#include "ScreenUtil.h"
#include "ThemeStyle.h"
#include "XOverlayDlg.h"
#include "XPushButton.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QJsonValue>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cmath>

#if defined(Q_OS_WIN)
#include <dwmapi.h>
#include <windows.h>
#include <windowsx.h>
#endif

#if defined(Q_OS_LINUX)
#include <xcb/xcb.h>
#endif

namespace {

const QString closeName = QStringLiteral("win_sys_close");
const QString minName = QStringLiteral("win_sys_min");
const QString maxName = QStringLiteral("win_sys_max");
const QString restoreName = QStringLiteral("win_sys_restore");

// A page sends the cursor position as numbers; anything else counts as 0, and absurd values
// are kept within what a screen can hold.
int dragCoordinate(const QJsonValue &value)
{
    double number = 0;
    if (value.isDouble()) {
        number = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        number = value.toString().toDouble(&ok);
        if (!ok) {
            number = 0;
        }
    }
    if (!std::isfinite(number)) {
        return 0;
    }
    return static_cast<int>(qBound(-100000.0, number, 100000.0));
}

#if defined(Q_OS_LINUX)
// A modal popup must also see presses on the windows it blocks, which Qt drops before any
// event filter. The X server's button events are seen here first.
class OutsideClickWatcher : public QAbstractNativeEventFilter
{
public:
    static OutsideClickWatcher *instance()
    {
        static OutsideClickWatcher watcher;
        return &watcher;
    }
    void add(XDialog *dialog)
    {
        if (!dialogs.contains(dialog)) {
            dialogs.append(dialog);
        }
        if (!installed && QGuiApplication::platformName() == QLatin1String("xcb")) {
            qApp->installNativeEventFilter(this);
            installed = true;
        }
    }
    void remove(XDialog *dialog) { dialogs.removeAll(dialog); }

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *) override
    {
        if (eventType != "xcb_generic_event_t" || dialogs.isEmpty()) {
            return false;
        }
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_BUTTON_PRESS) {
            return false;
        }
        const auto *press = reinterpret_cast<const xcb_button_press_event_t *>(event);
        if (press->detail != XCB_BUTTON_INDEX_1) {
            return false;
        }
        // The newest popup takes the click, as a stack of popups would.
        QPointer<XDialog> dialog = dialogs.last();
        if (!dialog || !dialog->isVisible()) {
            return false;
        }
        const qreal ratio = dialog->devicePixelRatioF();
        const QPoint global(qRound(press->root_x / ratio), qRound(press->root_y / ratio));
        if (dialog->frameGeometry().contains(global)) {
            return false;
        }
        QMetaObject::invokeMethod(dialog, &XDialog::closeEx, Qt::QueuedConnection);
        return true;
    }

private:
    QList<QPointer<XDialog>> dialogs;
    bool installed = false;
};
#endif

} // namespace

XDialog::XDialog(QWidget *parent) : XScreenDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QDialog{background: transparent;}"));
    ThemeStyle *theme = ThemeStyle::instance();
    bgColor = theme->dialogBgColor;
    cornerRadius = theme->borderRadius;
    setAttribute(Qt::WA_MouseTracking);
    installEventFilter(this);
}

XDialog::~XDialog()
{
    destroying = true;
#if defined(Q_OS_LINUX)
    OutsideClickWatcher::instance()->remove(this);
#endif
    if (maskDlg != nullptr) {
        maskDlg->close();
        maskDlg = nullptr;
    }
    setApplicationFilter(false);
    nativeDragging = false;
    pageDragging = false;
    pageDragPending = false;
    delete titleLabel;
    titleLabel = nullptr;
    qDeleteAll(titleButtons);
    titleButtons.clear();
}

QRect XDialog::maximizedGeometry(const QRect &available, qreal devicePixelRatio)
{
    return QRect(qRound(available.x() * devicePixelRatio), qRound(available.y() * devicePixelRatio),
                 qRound(available.width() * devicePixelRatio),
                 qRound(available.height() * devicePixelRatio));
}

void XDialog::setTitle(const QString &title)
{
    const QRect available = ScreenUtil::availableGeometry(QGuiApplication::primaryScreen());
    if (width() > available.width() || height() > available.height()) {
        resize(qMin(width(), available.width()), qMin(height(), available.height()));
    }
    setWindowTitle(title);
    titleText = title;
    if (title.isEmpty()) {
        setTitleBarVisible(false);
        return;
    }

    ThemeStyle *theme = ThemeStyle::instance();
    const QString textColor = theme->textColor.name(QColor::HexArgb);
    if (titleLabel == nullptr) {
        titleLabel = new QLabel(this);
        titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
        titleLabel->setObjectName(QStringLiteral("win_title"));
        titleLabel->lower();
    }
    titleLabel->setText(title);
    titleLabel->setStyleSheet(
        QStringLiteral("QLabel{background:transparent; color:%1; font-size:%2px;}")
            .arg(textColor)
            .arg(theme->fontSize));

    // The glyphs need the icon font registered.
    Iconfont::instance();
    const QString base = QStringLiteral("QPushButton{font-family: 'iconfont'; font-size:%1px;"
                                        "background:transparent; color:%2; border:none; "
                                        "border-radius:0;}")
                             .arg(theme->titleIconSize)
                             .arg(textColor);
    const QString closeStyle =
        base + QStringLiteral("QPushButton:hover {background-color:rgb(237,63,20);color:#ffffff;}");
    const QString otherStyle =
        base + QStringLiteral("QPushButton:hover{background:rgba(200,200,200,"
                              "100);}QPushButton:pressed{background:"
                              "rgba(200,200,200,72);}");
    auto addButton = [this](const QString &name, uint glyph, const QString &style) {
        if (titleButtons.contains(name)) {
            return;
        }
        auto *button = new XPushButton(this, name, QString(QChar(glyph)));
        button->setStyleSheet(style);
        button->setFocusPolicy(Qt::NoFocus);
        titleButtons.insert(name, button);
    };
    if (closeButtonWanted) {
        addButton(closeName, Iconfont::Close, closeStyle);
    }
    if (minButtonWanted) {
        addButton(minName, Iconfont::Minimize, otherStyle);
    }
    if (maxButtonWanted) {
        addButton(maxName, Iconfont::Maximize, otherStyle);
        const bool created = !titleButtons.contains(restoreName);
        addButton(restoreName, Iconfont::Restore, otherStyle);
        if (created) {
            titleButtons.value(restoreName)->hide();
        }
    }
    for (QWidget *widget : qAsConst(titleButtons)) {
        auto *button = static_cast<XPushButton *>(widget);
        disconnect(button, nullptr, this, nullptr);
        connect(button, &XPushButton::signalPbMouseEnter, this, &XDialog::slotPbMouseEnter);
        connect(button, &XPushButton::signalPbMouseRelease, this, &XDialog::slotPbMouseRelease);
    }
    if (titleBarVisible) {
        // Already visible: buttons created just now still need their place.
        titleLabel->show();
        for (QWidget *button : qAsConst(titleButtons)) {
            button->show();
        }
        layoutTitleBar();
        update();
    } else {
        setTitleBarVisible(true);
    }
}

void XDialog::setTitleBarVisible(bool visible)
{
    if (visible == titleBarVisible) {
        return;
    }
    titleBarVisible = visible;
    if (titleLabel != nullptr) {
        titleLabel->setVisible(visible);
    }
    for (QWidget *button : qAsConst(titleButtons)) {
        button->setVisible(visible);
    }
    if (visible) {
        titleRect = QRect(0, 0, width(), ThemeStyle::instance()->titleHeight);
        layoutTitleBar();
    } else {
        titleRect = QRect();
    }
    update();
}

void XDialog::layoutTitleBar()
{
    const int h = ThemeStyle::instance()->titleHeight;
    const int w = width();
    titleRect = QRect(0, 0, w, h);
    if (titleLabel != nullptr) {
        const int lw = titleLabelWidth <= 0 ? w : titleLabelWidth;
        titleLabel->setGeometry((w - lw) / 2 + 10, 0, qMax(lw - 20, 0), h);
    }
    int x = w;
    if (closeButtonWanted) {
        x -= h + 6;
        if (QWidget *button = titleButtons.value(closeName)) {
            button->setGeometry(x, 0, h, h);
        }
    }
    if (maxButtonWanted) {
        x -= h;
        QWidget *maxButton = titleButtons.value(maxName);
        QWidget *restoreButton = titleButtons.value(restoreName);
        if (maxButton != nullptr && restoreButton != nullptr) {
            maxButton->setGeometry(x, 0, h, h);
            restoreButton->setGeometry(x, 0, h, h);
            const bool maximized = isMaximized();
            maxButton->setVisible(titleBarVisible && !maximized);
            restoreButton->setVisible(titleBarVisible && maximized);
        }
    }
    if (minButtonWanted) {
        if (QWidget *button = titleButtons.value(minName)) {
            button->setGeometry(x - h, 0, h, h);
        }
    }
}

void XDialog::setMaskOwner(QWidget *owner)
{
    maskOwner = owner;
}

void XDialog::setStaysOnTop()
{
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
}

void XDialog::placeWebView(QWidget *view)
{
    if (view == nullptr) {
        return;
    }
    const int top = titleBarVisible ? ThemeStyle::instance()->titleHeight : 0;
    view->setGeometry(0, top, width() + 1, height() - top);
}

void XDialog::slotSingleApplicationMessage(const QString &message)
{
    Q_UNUSED(message)
    show();
    raise();
    activateWindow();
}

void XDialog::dragFinished() {}

void XDialog::minimizeWindow()
{
    showMinimized();
}

void XDialog::maximizeWindow()
{
    if (!isMaximized()) {
        geometryBeforeMaximize = geometry();
    }
    showMaximized();
    if (QWidget *button = titleButtons.value(maxName)) {
        button->hide();
    }
    if (QWidget *button = titleButtons.value(restoreName)) {
        button->show();
    }
    settleMaximized();
}

void XDialog::restoreWindow()
{
    const bool wasMaximized = isMaximized();
    showNormal();
    if (QWidget *button = titleButtons.value(maxName)) {
        button->show();
    }
    if (QWidget *button = titleButtons.value(restoreName)) {
        button->hide();
    }
#if !defined(Q_OS_WIN)
    // Without a window manager nobody gives the old geometry back.
    if (wasMaximized && geometryBeforeMaximize.isValid()) {
        setGeometry(geometryBeforeMaximize);
    }
#else
    Q_UNUSED(wasMaximized)
#endif
}

void XDialog::settleMaximized()
{
#if !defined(Q_OS_WIN)
    // A window manager maximises to the work area itself; where there is none (or it ignores
    // frameless windows) the window takes the work area of its screen.
    QWindow *handle = windowHandle();
    if (handle == nullptr || !isMaximized()) {
        return;
    }
    const QRect available = ScreenUtil::availableGeometry(handle->screen());
    if (geometry() != available) {
        // Through the native window: QWidget::setGeometry would drop the maximised state.
        handle->setGeometry(available);
    }
#endif
}

void XDialog::closeEx()
{
    close();
}

void XDialog::slotPbMouseEnter(const QString &pbName)
{
    Q_UNUSED(pbName)
}

void XDialog::slotPbMouseRelease(const QString &pbName)
{
    if (pbName == closeName) {
        closeEx();
    } else if (pbName == minName) {
        minimizeWindow();
    } else if (pbName == maxName) {
        maximizeWindow();
    } else if (pbName == restoreName) {
        restoreWindow();
    }
}

void XDialog::slotWebMsg(const QString &funcName, const QString &param)
{
    XScreenDialog::slotWebMsg(funcName, param);
    auto is = [&funcName](const char *name) {
        return funcName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    if (is("min")) {
        minimizeWindow();
    } else if (is("max")) {
        maximizeWindow();
    } else if (is("restore")) {
        restoreWindow();
    } else if (is("close")) {
        closeEx();
    } else if (is("dragStart")) {
        startPageDrag(param);
    } else if (is("dragEnd")) {
        endPageDrag();
    }
}

void XDialog::startPageDrag(const QString &param)
{
    if (isMaximized()) {
        return;
    }
    const QJsonObject position = JsonUtil::str2Json(param);
    pageDragOffset = QPoint(dragCoordinate(position.value(QStringLiteral("x"))),
                            dragCoordinate(position.value(QStringLiteral("y"))));
    pageDragging = true;
    pageDragPending = true;
    setApplicationFilter(true);
}

void XDialog::endPageDrag()
{
    if (!pageDragging) {
        return;
    }
    pageDragging = false;
    pageDragPending = false;
    setApplicationFilter(appFilterWanted);
    dragFinished();
}

void XDialog::setApplicationFilter(bool installed)
{
    if (installed && !appFilterInstalled) {
        qApp->installEventFilter(this);
        appFilterInstalled = true;
    } else if (!installed && appFilterInstalled) {
        qApp->removeEventFilter(this);
        appFilterInstalled = false;
    }
}

bool XDialog::event(QEvent *event)
{
    if (event->type() == QEvent::Polish && !isMaximized() && !isFullScreen() && anchor == nullptr) {
        QScreen *screen =
            parentWidget() != nullptr ? parentWidget()->screen() : ScreenUtil::screenAtCursor();
        const QRect area = ScreenUtil::availableGeometry(screen);
        move((area.width() - width()) / 2 + area.x(), (area.height() - height()) / 2 + area.y());
    }
    return QWidget::event(event);
}

bool XDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (appFilterInstalled) {
        const QEvent::Type type = event->type();
        if (pageDragging) {
            if (type == QEvent::MouseMove) {
                if (!isMaximized()) {
                    move(static_cast<QMouseEvent *>(event)->globalPos() - pageDragOffset);
                }
                return true;
            }
            if (type == QEvent::MouseButtonRelease) {
                endPageDrag();
                return true;
            }
        }
        if (popupMode && type == QEvent::MouseButtonPress && isVisible()) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton && !geometry().contains(mouse->globalPos())) {
                closeEx();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void XDialog::mousePressEvent(QMouseEvent *event)
{
    XScreenDialog::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && titleRect.contains(event->pos())) {
        nativeDragging = true;
        nativeDragOffset = event->globalPos() - pos();
        event->accept();
    }
}

void XDialog::mouseMoveEvent(QMouseEvent *event)
{
    XScreenDialog::mouseMoveEvent(event);
    if (!(event->buttons() & Qt::LeftButton) || !nativeDragging || isMaximized()) {
        return;
    }
    QPoint target = event->globalPos() - nativeDragOffset;
    if (ownerWidget != nullptr) {
        // Kept over the owner, wherever the owner is.
        const QRect bounds = ownerWidget->isWindow()
                                 ? ownerWidget->geometry()
                                 : ScreenUtil::mapToGlobal(ownerWidget, ownerWidget->rect());
        target.setX(qMax(bounds.x(), qMin(target.x(), bounds.x() + bounds.width() - width())));
        target.setY(qMax(bounds.y(), qMin(target.y(), bounds.y() + bounds.height() - height())));
    }
    move(target);
    event->accept();
}

void XDialog::mouseReleaseEvent(QMouseEvent *event)
{
    XScreenDialog::mouseReleaseEvent(event);
    if (nativeDragging) {
        dragFinished();
    }
    nativeDragging = false;
}

void XDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        closeEx();
        return;
    }
    QDialog::keyPressEvent(event);
}

void XDialog::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const int radius = isMaximized() ? 0 : cornerRadius;
    painter.setBrush(bgColor);
    painter.drawRoundedRect(rect(), radius, radius);
    if (titleBarVisible && !titleText.isEmpty()) {
        painter.setPen(Qt::transparent);
        painter.setBrush(ThemeStyle::instance()->dialogBgColor);
        painter.drawRoundedRect(titleRect, radius, radius);
        if (radius > 0) {
            painter.drawRect(titleRect.x(), ThemeStyle::instance()->titleHeight - radius,
                             titleRect.width(), radius);
        }
    }
    painter.end();
    QWidget::paintEvent(event);
}

void XDialog::resizeEvent(QResizeEvent *event)
{
    XScreenDialog::resizeEvent(event);
    if (titleBarVisible) {
        layoutTitleBar();
    } else {
        titleRect = QRect(0, 0, width(), ThemeStyle::instance()->titleHeight);
    }
}

void XDialog::showEvent(QShowEvent *event)
{
    const bool wasMaximized = windowState() & Qt::WindowMaximized;
    XScreenDialog::showEvent(event);
#if defined(Q_OS_WIN)
    if (!skipNativeFrame) {
        const HWND hwnd = reinterpret_cast<HWND>(winId());
        const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        SetWindowLongW(hwnd, GWL_STYLE, (style & 0xFF3FFFFF) | 0x00040000);
        const MARGINS margins = {0, 0, 0, 1};
        DwmExtendFrameIntoClientArea(hwnd, &margins);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
        setAttribute(Qt::WA_TranslucentBackground, false);
        if (wasMaximized) {
            ShowWindow(hwnd, SW_SHOWMAXIMIZED);
        }
    }
#else
    if (wasMaximized) {
        settleMaximized();
    }
#endif
    appFilterWanted = popupMode;
    setApplicationFilter(appFilterWanted || pageDragPending);
#if defined(Q_OS_LINUX)
    if (popupMode) {
        OutsideClickWatcher::instance()->add(this);
    }
#endif
    setWindowOpacity(1);

    if (maskOwner != nullptr && maskDlg == nullptr) {
        maskDlg = new XOverlayDlg(nullptr);
        maskDlg->setAttribute(Qt::WA_DeleteOnClose);
        maskDlg->setAnchorWidget(maskOwner);
        connect(maskDlg, &QObject::destroyed, this, [this]() {
            maskDlg = nullptr;
            if (!destroying) {
                close();
            }
        });
        maskDlg->show();
        maskDlg->raise();
        raise();
    }
}

void XDialog::hideEvent(QHideEvent *event)
{
    XScreenDialog::hideEvent(event);
#if defined(Q_OS_LINUX)
    OutsideClickWatcher::instance()->remove(this);
#endif
    // The mask belongs to the shown window.
    if (maskDlg != nullptr) {
        XOverlayDlg *closing = maskDlg;
        maskDlg = nullptr;
        disconnect(closing, &QObject::destroyed, this, nullptr);
        closing->close();
    }
}

bool XDialog::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
#if defined(Q_OS_WIN)
    const MSG *msg = static_cast<const MSG *>(message);
    switch (msg->message) {
    case WM_GETMINMAXINFO: {
        QScreen *screen = windowHandle() != nullptr ? windowHandle()->screen() : nullptr;
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        const QRect area =
            maximizedGeometry(screen->availableGeometry(), screen->devicePixelRatio());
        auto *info = reinterpret_cast<MINMAXINFO *>(msg->lParam);
        info->ptMaxPosition.x = area.x();
        info->ptMaxPosition.y = area.y();
        info->ptMaxSize.x = area.width();
        info->ptMaxSize.y = area.height();
        *result = 0;
        return true;
    }
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        *result = 0;
        return true;
    case WM_NCHITTEST:
        *result = HTCLIENT;
        return true;
    case WM_NCACTIVATE:
        *result = 1;
        return true;
    default:
        break;
    }
#endif
    return QWidget::nativeEvent(eventType, message, result);
}
