#include "ScreenUtil.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
QScreen *orPrimary(QScreen *screen)
{
    return screen ? screen : QGuiApplication::primaryScreen();
}
} // namespace

double ScreenUtil::aspectRatio(QScreen *screen)
{
    const QScreen *s = orPrimary(screen);
    if (!s || s->geometry().height() == 0) {
        return 0.0;
    }
    return static_cast<double>(s->geometry().width()) / s->geometry().height();
}

QRect ScreenUtil::availableGeometry(QScreen *screen)
{
    const QScreen *s = orPrimary(screen);
    return s ? s->availableGeometry() : QRect();
}

QRect ScreenUtil::geometry(QScreen *screen)
{
    const QScreen *s = orPrimary(screen);
    return s ? s->geometry() : QRect();
}

QRect ScreenUtil::toDevicePixels(const QRect &rect, QScreen *screen)
{
    const QScreen *s = orPrimary(screen);
    const double ratio = s ? s->devicePixelRatio() : 1.0;
    return QRect(static_cast<int>(rect.x() * ratio), static_cast<int>(rect.y() * ratio),
                 static_cast<int>(rect.width() * ratio), static_cast<int>(rect.height() * ratio));
}

double ScreenUtil::logicalDpi(QScreen *screen)
{
    const QScreen *s = orPrimary(screen);
    return s ? s->logicalDotsPerInch() : 96.0;
}

QScreen *ScreenUtil::screenAtCursor()
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

QRect ScreenUtil::mapToGlobal(QWidget *widget, const QRect &rect)
{
    if (!widget) {
        return rect;
    }
    return QRect(widget->mapToGlobal(rect.topLeft()), rect.size());
}

int ScreenUtil::fontHeight(const QFont &font)
{
    return QFontMetrics(font).height();
}

int ScreenUtil::textWidth(const QFont &font, const QString &text)
{
    return QFontMetrics(font).horizontalAdvance(text);
}

void ScreenUtil::setWaitCursor()
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void ScreenUtil::restoreCursor()
{
    QApplication::restoreOverrideCursor();
}
