#pragma once

#include "XDialog.h"

// The translucent mask that covers a window while a dialog it owns is shown.
class XOverlayDlg : public XDialog
{
    Q_OBJECT

public:
    explicit XOverlayDlg(QWidget *parent = nullptr);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
};
