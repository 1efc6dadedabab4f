#include "CameraRender.h"

#include "AppSettings.h"
#include "CameraRenderOverlay.h"
#include "LangUtil.h"
#include "LiveBaseDlg.h"
#include "TrtcUtil.h"

#include <QCursor>
#include <QDebug>
#include <QEvent>

CameraRender::CameraRender(QWidget *parent) : XPage(parent)
{
    if (objectName().isEmpty()) {
        setObjectName(QStringLiteral("CameraRender"));
    }
    resize(400, 300);
    setWindowTitle(LangUtil::tr(QStringLiteral("CameraRender"), QStringLiteral("Dialog")));
    videoView = new QWidget(this);
    videoView->setObjectName(QStringLiteral("videoView"));
    videoView->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    videoView->setAttribute(Qt::WA_NativeWindow);
    videoView->setAttribute(Qt::WA_Hover);
    videoView->installEventFilter(this);
    fitChild(videoView);
    overlay = new CameraRenderOverlay(this);
    overlay->hide();
}

CameraRender::~CameraRender()
{
    overlay->hide();
}

void CameraRender::setOwner(LiveBaseDlg *liveOwner,
                            std::function<liteav::TRTCVideoEncParam()> resolution)
{
    owner = liveOwner;
    ownResolution = std::move(resolution);
}

bool CameraRender::isOwnView() const
{
    return userId.compare(AppSettings::userId(), Qt::CaseInsensitive) == 0;
}

void CameraRender::setUserId(const QString &id)
{
    userId = id;
    refreshUser();
}

void CameraRender::refreshUser()
{
    LiveUser user;
    if (owner != nullptr) {
        user = owner->getLiveUser(userId);
    }
    qDebug() << "live-camera-refreshUser" << userId << user.cameraState;
    overlay->setLiveUser(user);
}

void CameraRender::startVideo()
{
    // The native windows, so that what is drawn can be found on the display.
    qDebug() << "live-camera-startVideo" << userId << "view" << videoView->winId() << "window"
             << window()->winId();
    refreshUser();
    TrtcUtil *trtc = TrtcUtil::instance();
    if (!isOwnView()) {
        trtc->startRemoteView(userId, liteav::TRTCVideoStreamTypeBig, videoView->winId());
    } else if (trtc->isCameraEnabled()) {
        if (ownResolution) {
            trtc->setVideoEncoderParam(ownResolution());
        }
        trtc->startLocalPreview(videoView->winId());
    }
}

void CameraRender::stopVideo()
{
    qDebug() << "live-camera-stopVideo" << userId;
    TrtcUtil *trtc = TrtcUtil::instance();
    if (isOwnView()) {
        trtc->stopLocalPreview();
    } else {
        trtc->stopRemoteRender(userId);
        // Without this the SDK would keep drawing the remote camera until the room is left.
        trtc->stopRemoteView(userId, liteav::TRTCVideoStreamTypeBig);
    }
    overlay->setVolume(0);
    videoView->hide();
    videoView->show();
    refreshUser();
}

void CameraRender::setVolume(int volume)
{
    overlay->setVolume(volume);
}

void CameraRender::setNetQuality(int quality)
{
    overlay->setNetQuality(quality);
}

void CameraRender::placeOverlay()
{
    overlay->setGeometry(QRect(videoView->mapToGlobal(QPoint(0, 0)), videoView->size()));
}

bool CameraRender::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == videoView) {
        if (event->type() == QEvent::Enter) {
            overlay->setHovered(true);
        } else if (event->type() == QEvent::Leave) {
            if (!overlay->geometry().contains(QCursor::pos())) {
                overlay->setHovered(false);
            }
        }
    }
    return XPage::eventFilter(watched, event);
}

void CameraRender::showEvent(QShowEvent *event)
{
    placeOverlay();
    overlay->show();
    overlay->raise();
    XPage::showEvent(event);
}

void CameraRender::hideEvent(QHideEvent *event)
{
    overlay->hide();
    XPage::hideEvent(event);
}

void CameraRender::moveEvent(QMoveEvent *event)
{
    XPage::moveEvent(event);
    placeOverlay();
}

void CameraRender::resizeEvent(QResizeEvent *event)
{
    XPage::resizeEvent(event);
    fitChild(videoView);
    placeOverlay();
}
