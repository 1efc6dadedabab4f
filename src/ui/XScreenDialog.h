#pragma once

#include "XLangDialog.h"

#include <QSize>

class QScreen;

// Adds following the window across screens of different size and pixel density.
class XScreenDialog : public XLangDialog
{
    Q_OBJECT

public:
    explicit XScreenDialog(QWidget *parent = nullptr);

    void fitToScreen(QScreen *screen, bool keepCurrentSize);
    // The placement fitToScreen() gives a window of this geometry on a screen of this area.
    static QRect fittedGeometry(const QRect &window, const QRect &available, const QSize &size);

    QSize normalSize() const { return normal; }
    QScreen *currentScreen() const { return screen; }

public slots:
    void slotScreenChanged(QScreen *screen);

protected:
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void rememberScreen(QScreen *current);

    bool adjusting = false;
    QSize normal;
    QScreen *screen = nullptr;
};
