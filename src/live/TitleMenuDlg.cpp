#include "TitleMenuDlg.h"

#include "ThemeStyle.h"
#include "TrtcUtil.h"
#include "WebEngineView.h"
#include "XMenu.h"

#include <QCursor>
#include <QDebug>

TitleMenuDlg::TitleMenuDlg(QWidget *parent) : LiveCommandDlg(parent)
{
    qDebug() << "live-titileMenu-TitleMenuDlg";
}

TitleMenuDlg::~TitleMenuDlg()
{
    qDebug() << "live-titileMenu-~TitleMenuDlg";
    // The menus have no parent; the window owns them.
    const QList<XMenu *> menus = deviceMenuMap.values();
    deviceMenuMap.clear();
    qDeleteAll(menus);
}

void TitleMenuDlg::initDeviceMenu()
{
    qDebug() << "live-titileMenu-initDeviceMenu";
    for (int type : {int(TrtcDevice::Camera), int(TrtcDevice::Mic), int(TrtcDevice::Speaker)}) {
        if (deviceMenuMap.contains(type)) {
            continue;
        }
        auto *menu = new XMenu(this);
        menu->setObjectName(QString::number(type));
        connect(menu, &XMenu::signalClickedMenu, this, &TitleMenuDlg::slotClickedDeviceMenu);
        deviceMenuMap.insert(type, menu);
        refreshDeviceMenu(type);
    }
}

void TitleMenuDlg::refreshDeviceMenu(int type)
{
    qDebug() << "live-titileMenu-refreshDeviceMenu" << type;
    if (XMenu *menu = deviceMenuMap.value(type, nullptr)) {
        TrtcUtil::instance()->fillDeviceMenu(type, this, menu);
    }
}

int TitleMenuDlg::getDeviceType(const QString &name)
{
    qDebug() << "live-titileMenu-getDeviceType" << name;
    if (name == QLatin1String("mic")) {
        return TrtcDevice::Mic;
    }
    if (name == QLatin1String("speaker")) {
        return TrtcDevice::Speaker;
    }
    return TrtcDevice::Camera;
}

void TitleMenuDlg::showDeviceMenu(int type)
{
    qDebug() << "live-titileMenu-showDeviceMenu" << type;
    XMenu *menu = deviceMenuMap.value(type, nullptr);
    if (menu == nullptr) {
        return;
    }
    refreshDeviceMenu(type);
    qDebug() << "live-titileMenu-getTitleMenuRect";
    QWidget *view = webView() != nullptr ? static_cast<QWidget *>(webView()) : this;
    const QPoint titleBottom = view->mapToGlobal(QPoint(0, ThemeStyle::instance()->titleHeight));
    menu->showAt(QRect(QCursor::pos().x(), titleBottom.y(), 1, 1));
}

void TitleMenuDlg::slotClickedDeviceMenu(QString objectName, QString actionName)
{
    auto *menu = qobject_cast<XMenu *>(sender());
    const QString menuName = menu != nullptr ? menu->objectName() : objectName;
    qDebug() << "live-titileMenu-slotClickedDeviceMenu" << menuName << actionName;
    bool ok = false;
    const int type = menuName.toInt(&ok);
    if (!ok) {
        return;
    }
    if (actionName == QLatin1String("Disable")) {
        enableDevice(type, false);
    } else {
        TrtcUtil::instance()->setCurrentDevice(type, actionName);
        enableDevice(type, true);
    }
    refreshDeviceMenu(type);
}

void TitleMenuDlg::enableDevice(int type, bool enable)
{
    qDebug() << "live-titileMenu-enableDevice" << type << enable;
    TrtcUtil *trtc = TrtcUtil::instance();
    if (type == TrtcDevice::Camera) {
        trtc->setCameraEnabled(enable);
        if (enable) {
            startLocalVideo();
        } else {
            stopLocalVideo();
            removeCameraRender(QString());
        }
    } else if (type == TrtcDevice::Mic) {
        trtc->setMicEnabled(enable);
        if (enable) {
            startLocalAudio();
        } else {
            stopLocalAudio();
        }
    } else if (type == TrtcDevice::Speaker) {
        trtc->setSpeakerEnabled(enable);
        if (enable) {
            startSpeaker();
        } else {
            stopSpeaker();
        }
    }
    setDeviceState();
}
