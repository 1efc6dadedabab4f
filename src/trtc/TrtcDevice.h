#pragma once

#include "brv_av.h"

#include <QList>
#include <QString>

class QWidget;
class XMenu;

// One entry of an SDK device list.
struct DeviceItem
{
    QString id;
    QString name;
};

// The bottom of the wrapper chain; holds nothing.
class TrtcRole
{
public:
    virtual ~TrtcRole();
};

// Device enable flags, device lists and the chosen device of each type, the device menu and the
// beauty filter. The only state is in the settings.
class TrtcDevice : public TrtcRole
{
public:
    // The SDK's device type numbers, also the %1 of the device settings keys.
    enum DeviceType { Mic = 0, Speaker = 1, Camera = 2 };

    ~TrtcDevice() override;

    void setCameraEnabled(bool enabled);
    void setMicEnabled(bool enabled);
    void setSpeakerEnabled(bool enabled);
    bool isCameraEnabled() const;
    bool isMicEnabled() const;
    bool isSpeakerEnabled() const;
    // Types other than the three count as disabled.
    bool isDeviceEnabled(int type) const;

    // The stored id of the type, else the SDK's current device; empty without a device manager.
    QString getCurrentDeviceId(int type) const;
    QList<DeviceItem> getDeviceList(int type) const;
    // -1 without a device manager, else 0; the id is stored only when the SDK accepts it.
    int setCurrentDevice(int type, const QString &id);
    // Fills the menu with the devices of the type and a "Disable" entry; -1 without owner or
    // menu.
    int fillDeviceMenu(int type, QWidget *owner, XMenu *menu);
    // The stored beauty settings to the SDK; switched off means natural style, all levels 0.
    void applyBeautyStyle();

protected:
    // Selects the stored device of the type, when one is stored. Returns whether it tried.
    bool selectStoredDevice(int type);
};
