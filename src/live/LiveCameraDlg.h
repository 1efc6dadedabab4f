#pragma once

#include "LiveTrtcDlg.h"

// The layer that keeps one camera view per user, made and placed where the class page asks.
class LiveCameraDlg : public LiveTrtcDlg
{
    Q_OBJECT

public:
    explicit LiveCameraDlg(QWidget *parent = nullptr);
    ~LiveCameraDlg() override;

    // An empty id means the user of this client.
    CameraRender *getUserCamera(const QString &userId) override;
    // One element of the page's "SetCameraViewRects": {"userId", "rect": {x, y, width, height}}.
    void setCameraViewRect(const QJsonObject &object);
    void removeCameraRender(const QString &userId);
    const QMap<QString, CameraRender *> &cameraViews() const { return cameraRenderMap; }

    // A start asked for before the own view exists waits for the view.
    void startLocalVideo() override;
    void stopLocalVideo() override;

    void refreshCameraUser(CameraRender *view) override;
    void startCameraVideo(CameraRender *view) override;
    void stopCameraVideo(CameraRender *view) override;
    void setCameraNetQuality(CameraRender *view, int quality) override;
    void setCameraVolume(CameraRender *view, int volume) override;

protected:
    // Keeps every visible view's floating overlay on its view.
    void placeCameraOverlays();

private:
    bool ownVideoPending = false;
};
