#include "XScreenDialog.h"

#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace {
constexpr int minimumSide = 80;
}

XScreenDialog::XScreenDialog(QWidget *parent) : XLangDialog(parent)
{
    if (QWindow *handle = windowHandle()) {
        connect(handle, &QWindow::screenChanged, this, &XScreenDialog::slotScreenChanged);
    }
}

void XScreenDialog::rememberScreen(QScreen *current)
{
    screen = current;
    normal = size().expandedTo(QSize(minimumSide, minimumSide));
}

void XScreenDialog::showEvent(QShowEvent *event)
{
    XLangDialog::showEvent(event);
    if (QWindow *handle = windowHandle()) {
        if (screen == nullptr) {
            rememberScreen(handle->screen());
        }
    }
}

void XScreenDialog::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    QWindow *handle = windowHandle();
    if (handle == nullptr || isMaximized() || adjusting) {
        return;
    }
    QScreen *now = handle->screen();
    if (screen == nullptr) {
        rememberScreen(now);
        return;
    }
    if (now == screen) {
        return;
    }
    adjusting = true;
    qDebug() << "Screen changed from" << screen << "to" << now;
    QPointer<QScreen> target(now);
    QTimer::singleShot(10, this, [this, target]() {
        // The screen may have been unplugged in the meantime.
        if (target) {
            fitToScreen(target, false);
            screen = target;
        }
        adjusting = false;
    });
}

void XScreenDialog::slotScreenChanged(QScreen *changed)
{
    if (changed == nullptr || adjusting) {
        return;
    }
    adjusting = true;
    fitToScreen(changed, true);
    adjusting = false;
}

QRect XScreenDialog::fittedGeometry(const QRect &window, const QRect &available, const QSize &size)
{
    int width = size.width() < 1 ? minimumSide : size.width();
    int height = size.height() < 1 ? minimumSide : size.height();
    width = qMin(width, available.width());
    height = qMin(height, available.height());
    int x = qMax(window.x(), available.left());
    if (available.right() < x + width) {
        x = available.right() - width;
    }
    int y = qMax(window.y(), available.top());
    if (available.bottom() < y + height) {
        y = available.bottom() - height;
    }
    return QRect(qMax(x, available.left()), qMax(y, available.top()), width, height);
}

void XScreenDialog::fitToScreen(QScreen *target, bool keepCurrentSize)
{
    if (target == nullptr || isMaximized() || !isVisible()) {
        return;
    }
    const QRect available = target->availableGeometry();
    const QRect current = geometry();
    QSize wanted;
    if (keepCurrentSize) {
        wanted = QSize(qMin(current.width(), available.width()),
                       qMin(current.height(), available.height()));
    } else {
        wanted = normal.isValid() ? normal : current.size();
    }
    setGeometry(fittedGeometry(current, available, wanted));
    repaint();
}
