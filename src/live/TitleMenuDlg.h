#pragma once

#include "LiveCommandDlg.h"

// The device menus the class page opens from its title bar: one per device type, listing the
// SDK's devices with the chosen one checked, and "Disable".
class TitleMenuDlg : public LiveCommandDlg
{
    Q_OBJECT

public:
    explicit TitleMenuDlg(QWidget *parent = nullptr);
    ~TitleMenuDlg() override;

    void initDeviceMenu();
    void refreshDeviceMenu(int type) override;
    void enableDevice(int type, bool enable) override;
    // "mic" 0, "speaker" 1, anything else the camera, 2 (letter case counts).
    static int getDeviceType(const QString &name);
    void showDeviceMenu(int type);
    XMenu *deviceMenu(int type) const { return deviceMenuMap.value(type, nullptr); }

public slots:
    void slotClickedDeviceMenu(QString objectName, QString actionName);
};
