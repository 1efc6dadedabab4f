#include "XOverlayDlg.h"

#include "ThemeStyle.h"

XOverlayDlg::XOverlayDlg(QWidget *parent) : XDialog(parent)
{
    skipNativeFrame = true;
    bgColor = ThemeStyle::instance()->overlayBgColor;
    cornerRadius = ThemeStyle::instance()->borderRadius;
    setTitle(QString());
}

void XOverlayDlg::resizeEvent(QResizeEvent *event)
{
    // No drag area: the mask stays where its owner is.
    XScreenDialog::resizeEvent(event);
    titleRect = QRect();
}

void XOverlayDlg::showEvent(QShowEvent *event)
{
    XDialog::showEvent(event);
    if (anchor != nullptr) {
        setGeometry(anchor->geometry());
    }
}
