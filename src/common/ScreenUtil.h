#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QScreen;
class QWidget;

// Screen, font and cursor measurements; GUI thread only. A null screen means the primary one.
class ScreenUtil
{
public:
    static double aspectRatio(QScreen *screen = nullptr);
    static QRect availableGeometry(QScreen *screen = nullptr);
    static QRect geometry(QScreen *screen = nullptr);
    static QRect toDevicePixels(const QRect &rect, QScreen *screen = nullptr);
    static double logicalDpi(QScreen *screen = nullptr);
    static QScreen *screenAtCursor();
    static QRect mapToGlobal(QWidget *widget, const QRect &rect);
    static int fontHeight(const QFont &font);
    static int textWidth(const QFont &font, const QString &text);
    static void setWaitCursor();
    static void restoreCursor();
};
