#include "LiveCameraDlg.h"

#include "CameraRender.h"
#include "CameraRenderOverlay.h"
#include "JsonUtil.h"
#include "TrtcUtil.h"

#include <QDebug>

LiveCameraDlg::LiveCameraDlg(QWidget *parent) : LiveTrtcDlg(parent)
{
    qDebug() << "Live-camera-LiveCameraDlg";
}

LiveCameraDlg::~LiveCameraDlg()
{
    qDebug() << "Live-camera-～LiveCameraDlg";
    // No SDK event may reach a view being taken down.
    stopTrtcCallbacks();
    const QList<CameraRender *> views = cameraRenderMap.values();
    cameraRenderMap.clear();
    for (CameraRender *view : views) {
        view->stopVideo();
        view->getOverlay()->hide();
        view->hide();
        delete view;
    }
}

CameraRender *LiveCameraDlg::getUserCamera(const QString &userId)
{
    qDebug() << "Live-camera-getUserCamera" << userId;
    const QString id = userId.isEmpty() ? currLiveUser.userId : userId;
    return cameraRenderMap.value(id, nullptr);
}

void LiveCameraDlg::setCameraViewRect(const QJsonObject &object)
{
    const QString userId = JsonUtil::getString(object, QStringLiteral("userId"));
    const QJsonObject rect = JsonUtil::getObject(object, QStringLiteral("rect"));
    const int x = static_cast<int>(JsonUtil::getDouble(rect, QStringLiteral("x"), 0));
    const int y = static_cast<int>(JsonUtil::getDouble(rect, QStringLiteral("y"), 0));
    const int width = static_cast<int>(JsonUtil::getDouble(rect, QStringLiteral("width"), 0));
    const int height = static_cast<int>(JsonUtil::getDouble(rect, QStringLiteral("height"), 0));
    if (userId.isEmpty() || width <= 0 || height <= 0) {
        return;
    }
    CameraRender *view = cameraRenderMap.value(userId, nullptr);
    if (view == nullptr) {
        view = new CameraRender(this);
        view->setOwner(this, [this] { return getUserResolution(); });
        cameraRenderMap.insert(userId, view);
        view->setUserId(userId);
    }
    const bool created = view->getViewRect().width() < 0;
    const QRect geometry(x, y, width, height);
    view->setViewRect(geometry);
    view->setGeometry(geometry);
    view->show();
    view->raise();
    // A picture that is already there when its view arrives is shown at once.
    if (created && currLiveUser.isEnteredRoom == 1) {
        if (view->isOwnView()) {
            if (ownVideoPending) {
                ownVideoPending = false;
                view->startVideo();
            }
        } else if (getLiveUser(userId).cameraState == LiveDeviceState::Opened) {
            view->startVideo();
        }
    }
}

void LiveCameraDlg::startLocalVideo()
{
    ownVideoPending = getUserCamera(QString()) == nullptr && currLiveUser.isEnteredRoom == 1 &&
                      TrtcUtil::instance()->isCameraEnabled();
    LiveTrtcDlg::startLocalVideo();
}

void LiveCameraDlg::stopLocalVideo()
{
    ownVideoPending = false;
    LiveTrtcDlg::stopLocalVideo();
}

void LiveCameraDlg::removeCameraRender(const QString &userId)
{
    qDebug() << "Live-camera-removeCameraRender" << userId;
    const QString id = userId.isEmpty() ? currLiveUser.userId : userId;
    CameraRender *view = cameraRenderMap.take(id);
    if (view != nullptr) {
        view->stopVideo();
        view->getOverlay()->hide();
        view->hide();
        view->deleteLater();
    }
}

void LiveCameraDlg::refreshCameraUser(CameraRender *view)
{
    if (view != nullptr) {
        view->refreshUser();
    }
}

void LiveCameraDlg::startCameraVideo(CameraRender *view)
{
    if (view != nullptr) {
        view->startVideo();
    }
}

void LiveCameraDlg::stopCameraVideo(CameraRender *view)
{
    if (view != nullptr) {
        view->stopVideo();
    }
}

void LiveCameraDlg::setCameraNetQuality(CameraRender *view, int quality)
{
    if (view != nullptr) {
        view->setNetQuality(quality);
    }
}

void LiveCameraDlg::setCameraVolume(CameraRender *view, int volume)
{
    if (view != nullptr) {
        view->setVolume(volume);
    }
}

void LiveCameraDlg::placeCameraOverlays()
{
    for (CameraRender *view : qAsConst(cameraRenderMap)) {
        if (view->isVisible()) {
            view->placeOverlay();
        }
    }
}
