#pragma once

#include "XPage.h"

#include "brv_av.h"

#include <functional>

class CameraRenderOverlay;
class LiveBaseDlg;

// One participant's camera: a black native area the SDK draws into, at the place the class page
// gives, with its overlay floating above it as a window of its own.
class CameraRender : public XPage
{
    Q_OBJECT

public:
    explicit CameraRender(QWidget *parent = nullptr);
    ~CameraRender() override;

    // The live window the view belongs to, and how it picks the own camera's encoder.
    void setOwner(LiveBaseDlg *owner, std::function<liteav::TRTCVideoEncParam()> resolution);
    void setUserId(const QString &id);
    QString getUserId() const { return userId; }
    QWidget *getVideoView() const { return videoView; }
    CameraRenderOverlay *getOverlay() const { return overlay; }
    QRect getViewRect() const { return viewRect; }
    void setViewRect(const QRect &rect) { viewRect = rect; }
    // Whether the view shows the signed-in user (ids compared ignoring case).
    bool isOwnView() const;

    void refreshUser();
    void startVideo();
    void stopVideo();
    void setVolume(int volume);
    void setNetQuality(int quality);
    // Puts the overlay over the video area, in screen coordinates.
    void placeOverlay();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString userId;
    QWidget *videoView = nullptr;
    CameraRenderOverlay *overlay = nullptr;
    LiveBaseDlg *owner = nullptr;
    std::function<liteav::TRTCVideoEncParam()> ownResolution;
    QRect viewRect{-1, -1, -1, -1};
};
