#include "TrtcDevice.h"

#include "AppSettings.h"
#include "LangUtil.h"
#include "TrtcSdk.h"
#include "XMenu.h"

TrtcRole::~TrtcRole() = default;

TrtcDevice::~TrtcDevice() = default;

void TrtcDevice::setCameraEnabled(bool enabled)
{
    AppSettings::setDeviceEnabled(Camera, enabled);
}

void TrtcDevice::setMicEnabled(bool enabled)
{
    AppSettings::setDeviceEnabled(Mic, enabled);
}

void TrtcDevice::setSpeakerEnabled(bool enabled)
{
    AppSettings::setDeviceEnabled(Speaker, enabled);
}

bool TrtcDevice::isCameraEnabled() const
{
    return AppSettings::isDeviceEnabled(Camera);
}

bool TrtcDevice::isMicEnabled() const
{
    return AppSettings::isDeviceEnabled(Mic);
}

bool TrtcDevice::isSpeakerEnabled() const
{
    return AppSettings::isDeviceEnabled(Speaker);
}

bool TrtcDevice::isDeviceEnabled(int type) const
{
    if (type != Mic && type != Speaker && type != Camera) {
        return false;
    }
    return AppSettings::isDeviceEnabled(type);
}

QString TrtcDevice::getCurrentDeviceId(int type) const
{
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    if (manager == nullptr) {
        return QString();
    }
    const QString stored = AppSettings::currDeviceId(type);
    if (!stored.isEmpty()) {
        return stored;
    }
    liteav::ITXDeviceInfo *info = manager->getCurrentDevice(TrtcSdk::deviceType(type));
    if (info == nullptr) {
        return QString();
    }
    const QString id = TrtcSdk::fromSdk(info->getDevicePID());
    info->release();
    return id;
}

QList<DeviceItem> TrtcDevice::getDeviceList(int type) const
{
    QList<DeviceItem> devices;
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    if (manager == nullptr) {
        return devices;
    }
    liteav::ITXDeviceCollection *list = manager->getDevicesList(TrtcSdk::deviceType(type));
    if (list == nullptr) {
        return devices;
    }
    const uint32_t count = list->getCount();
    for (uint32_t i = 0; i < count; ++i) {
        devices.append(
            {TrtcSdk::fromSdk(list->getDevicePID(i)), TrtcSdk::fromSdk(list->getDeviceName(i))});
    }
    list->release();
    return devices;
}

int TrtcDevice::setCurrentDevice(int type, const QString &id)
{
    liteav::ITXDeviceManager *manager = TrtcSdk::deviceManager();
    if (manager == nullptr) {
        return -1;
    }
    const int result =
        manager->setCurrentDevice(TrtcSdk::deviceType(type), id.toUtf8().constData());
    if (result == 0) {
        AppSettings::setCurrDeviceId(type, id);
    } else {
        qDebug() << "TrtcDevice::setCurrentDevice refused" << type << id << result;
    }
    return 0;
}

bool TrtcDevice::selectStoredDevice(int type)
{
    const QString stored = AppSettings::currDeviceId(type);
    if (stored.isEmpty()) {
        return false;
    }
    setCurrentDevice(type, stored);
    return true;
}

int TrtcDevice::fillDeviceMenu(int type, QWidget *owner, XMenu *menu)
{
    if (owner == nullptr || menu == nullptr) {
        return -1;
    }
    menu->clear();
    const bool enabled = isDeviceEnabled(type);
    const QString current = enabled ? getCurrentDeviceId(type) : QString();
    for (const DeviceItem &device : getDeviceList(type)) {
        menu->addCheckAction(device.id, device.name, enabled && device.id == current);
    }
    menu->addSeparatorAction();
    menu->addCheckAction(QStringLiteral("Disable"), LangUtil::trCommon(QStringLiteral("Disable")),
                         !enabled);
    return 0;
}

void TrtcDevice::applyBeautyStyle()
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    if (sdk == nullptr) {
        return;
    }
    const BeautyStyle style = AppSettings::beautyStyle();
    if (style.isEnable) {
        // The SDK takes levels 0-9; stored values outside that are held to it.
        auto level = [](int value) {
            return static_cast<uint32_t>(qBound(0, value, 9));
        };
        sdk->setBeautyStyle(static_cast<liteav::TRTCBeautyStyle>(style.smoothStyle == 1 ? 1 : 0),
                            level(style.beautyLevel), level(style.whitenessLevel),
                            level(style.ruddinessLevel));
    } else {
        sdk->setBeautyStyle(liteav::TRTCBeautyStyleNature, 0, 0, 0);
    }
}
