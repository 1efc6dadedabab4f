#include "XBaseDialog.h"

XBaseDialog::XBaseDialog(QWidget *parent) : QDialog(parent), ownerWidget(parent)
{
    setAttribute(Qt::WA_MouseTracking);
    installEventFilter(this);
}

void XBaseDialog::setAnchorWidget(QWidget *widget)
{
    anchor = widget;
}

void XBaseDialog::bringToFront()
{
    show();
    raise();
}

void XBaseDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (anchor == nullptr) {
        return;
    }
    const QRect area = anchor->geometry();
    if (!area.isValid()) {
        return;
    }
    move((area.width() - width()) / 2 + area.x(), (area.height() - height()) / 2 + area.y());
}
