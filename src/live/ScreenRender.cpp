#include "ScreenRender.h"

#include "LangUtil.h"
#include "TrtcUtil.h"

#include <QCloseEvent>
#include <QDebug>

ScreenRender::ScreenRender(QWidget *parent) : XPage(parent)
{
    setObjectName(QStringLiteral("ScreenRender"));
    resize(400, 300);
    setWindowTitle(LangUtil::tr(QStringLiteral("ScreenRender"), QStringLiteral("Dialog")));
    videoView = new QWidget(this);
    videoView->setObjectName(QStringLiteral("videoView"));
    videoView->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    // The SDK draws into the area's own native window.
    videoView->setAttribute(Qt::WA_NativeWindow);
    fitChild(videoView);
}

void ScreenRender::startVideo()
{
    qDebug() << "ScreenRender::startVideo" << userId << "view" << videoView->winId() << "window"
             << window()->winId();
    videoView->setAttribute(Qt::WA_PaintOnScreen, true);
    TrtcUtil *trtc = TrtcUtil::instance();
    trtc->startRemoteView(userId, liteav::TRTCVideoStreamTypeSub, videoView->winId());
    trtc->setRemoteRenderParams(userId, liteav::TRTCVideoStreamTypeSub,
                                TrtcVideo::screenRenderParams());
    started = true;
}

void ScreenRender::stopVideo()
{
    TrtcUtil *trtc = TrtcUtil::instance();
    trtc->stopRemoteRender(userId);
    // Clearing the render callback alone would leave the shared screen drawn until the room is
    // left.
    if (!userId.isEmpty()) {
        trtc->stopRemoteView(userId, liteav::TRTCVideoStreamTypeSub);
    }
    videoView->repaint();
    videoView->setAttribute(Qt::WA_PaintOnScreen, false);
    started = false;
}

void ScreenRender::resizeEvent(QResizeEvent *event)
{
    XPage::resizeEvent(event);
    qDebug() << "ScreenRender::resizeControl" << size();
    fitChild(videoView);
}

void ScreenRender::closeEvent(QCloseEvent *event)
{
    XPage::closeEvent(event);
    stopVideo();
}
