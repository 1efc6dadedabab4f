#pragma once

#include "XDialog.h"

class QTimer;

// The home window's housekeeping: coming to the front when asked.
class HomeBaseDlg : public XDialog
{
    Q_OBJECT

public:
    explicit HomeBaseDlg(QWidget *parent = nullptr);
    ~HomeBaseDlg() override;

    void slotSingleApplicationMessage(const QString &message) override;

protected slots:
    void removeStaysOnTop();

private:
    QTimer *staysOnTopTimer = nullptr;
};
