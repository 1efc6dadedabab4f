#include "LiveScreenDlg.h"

#include "ScreenRender.h"
#include "ShareFrameDlg.h"
#include "ShareOptionDlg.h"
#include "TrtcUtil.h"
#include "WebEngineView.h"

#include <QDateTime>
#include <QDebug>
#include <QGuiApplication>
#include <QJsonObject>
#include <QScreen>

LiveScreenDlg::LiveScreenDlg(QWidget *parent) : LiveCameraDlg(parent) {}

LiveScreenDlg::~LiveScreenDlg()
{
    // The SDK finishes the file on its own; this window just no longer hears about it.
    if (isRecordingToFile()) {
        TrtcUtil::instance()->stopLocalRecording();
    }
    // The dialogs have no parent; the window takes them along.
    delete shareFrameDlg;
    shareFrameDlg = nullptr;
    delete shareOptionDlg;
    shareOptionDlg = nullptr;
}

QString LiveScreenDlg::groupedRoomId(int roomId)
{
    QString digits = QString::number(roomId);
    for (int i = digits.size() - 3; i > 0 && digits.at(i - 1).isDigit(); i -= 3) {
        digits.insert(i, QLatin1Char(' '));
    }
    return digits;
}

QRect LiveScreenDlg::pageRect() const
{
    return webView() != nullptr ? webView()->geometry() : rect();
}

void LiveScreenDlg::showScreenRender(const QString &userId)
{
    if (userId.isEmpty()) {
        return;
    }
    if (screenRender == nullptr) {
        screenRender = new ScreenRender(this);
    }
    screenRender->setUserId(userId);
    screenRender->setGeometry(pageRect());
    screenRender->startVideo();
    screenRender->show();
    screenRender->raise();
}

void LiveScreenDlg::hideScreenRender()
{
    if (screenRender != nullptr) {
        screenRender->stopVideo();
        screenRender->hide();
    }
}

void LiveScreenDlg::startRecord()
{
    qDebug() << "Live-screen-startRecord" << workRect;
    if (currLiveUser.isEnteredRoom != 1) {
        return;
    }
    if (isRecordingToFile()) {
        return;
    }
    setRecordState(RecordState::RecordStarting);
    if (TrtcUtil::avServer().isEmpty()) {
        // A share in the room of one reaches no one, so it cannot stand for the recording.
        startFileRecord();
        return;
    }
    if (liveInfo.isScreenSharing == 1) {
        qDebug() << "Live-screen-isScreenSharing";
        setRecordState(RecordState::RecordStartSuccess);
        return;
    }
    selectRecordTarget();
    TrtcUtil::instance()->startScreenShare(getRecordResolution());
}

void LiveScreenDlg::selectRecordTarget()
{
    const QString title = groupedRoomId(liveInfo.liveRoomId);
    TrtcUtil *trtc = TrtcUtil::instance();
    liteav::ITRTCScreenCaptureSourceList *sources = trtc->getScreenCaptureSources();
    if (sources == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < sources->getCount(); ++i) {
        const liteav::TRTCScreenCaptureSourceInfo info = sources->getSourceInfo(i);
        const QString name =
            info.sourceName != nullptr ? QString::fromUtf8(info.sourceName) : QString();
        if (name.contains(title)) {
            trtc->selectScreenCaptureTarget(info, workRect, QGuiApplication::primaryScreen());
            break;
        }
    }
    sources->release();
}

void LiveScreenDlg::showShareOption()
{
    if (shareOptionDlg == nullptr) {
        shareOptionDlg = new ShareOptionDlg(this);
        shareOptionDlg->setAnchorWidget(this);
        connect(shareOptionDlg, &ShareOptionDlg::signalShareSourceChosen, this,
                &LiveScreenDlg::slotShareSourceChosen);
    }
    shareOptionDlg->show();
    shareOptionDlg->raise();
}

void LiveScreenDlg::slotShareSourceChosen(ShareSourceItem item)
{
    shareArea = item.width > 0 && item.height > 0 ? QRect(item.x, item.y, item.width, item.height)
                                                  : QRect();
    startScreenShare(ShareOptionDlg::sourceInfoFor(item));
    showShareFrame();
    sendGroupLiveCommand(QStringLiteral("StartScreenShare"));
}

void LiveScreenDlg::startScreenShare(const liteav::TRTCScreenCaptureSourceInfo &sourceInfo)
{
    qDebug() << "Live-screen-startScreenShare(sourceInfo)"
             << (sourceInfo.sourceName != nullptr ? QString::fromUtf8(sourceInfo.sourceName)
                                                  : QString());
    if (currLiveUser.isEnteredRoom != 1) {
        return;
    }
    TrtcUtil *trtc = TrtcUtil::instance();
    trtc->selectScreenCaptureTarget(sourceInfo, QRect(), QWidget::screen());
    // The capture reports its start; the state layer then counts it as the share.
    liveInfo.isScreenSharing = 1;
    trtc->startScreenShare(getScreenResolution());
}

void LiveScreenDlg::showShareFrame()
{
    if (shareFrameDlg == nullptr) {
        shareFrameDlg = new ShareFrameDlg(this);
        shareFrameDlg->setAnchorWidget(this);
        connect(shareFrameDlg, &ShareFrameDlg::signalShareFrameClosed, this,
                &LiveScreenDlg::slotShareFrameClosed);
    }
    // Around what is shared rather than over the class; a source without a place on the screen
    // is taken to be the screen the class is on.
    QRect area = shareArea;
    if (!area.isValid() && QWidget::screen() != nullptr) {
        area = QWidget::screen()->availableGeometry();
    }
    if (area.isValid()) {
        shareFrameDlg->setAnchorWidget(nullptr);
        shareFrameDlg->setGeometry(area);
    }
    shareFrameDlg->show();
    shareFrameDlg->raise();
}

void LiveScreenDlg::slotShareFrameClosed()
{
    stopScreenShareCapture();
    sendGroupLiveCommand(QStringLiteral("StopScreenShare"));
}

void LiveScreenDlg::stopScreenShare()
{
    if (shareFrameDlg != nullptr && shareFrameDlg->isVisible()) {
        shareFrameDlg->close();
        return;
    }
    qDebug() << "Live-screen-stopScreenShare";
    TrtcUtil::instance()->stopScreenShare();
    sendGroupLiveCommand(QStringLiteral("StopScreenShare"));
}

void LiveScreenDlg::stopScreenShareCapture()
{
    qDebug() << "Live-screen-stopScreenShare";
    TrtcUtil::instance()->stopScreenShare();
}

void LiveScreenDlg::startFileRecord()
{
    selectRecordTarget();
    const QString path =
        TrtcUtil::newRecordingPath(liveInfo.className, QDateTime::currentDateTime());
    if (path.isEmpty()) {
        recordFileFailed(QStringLiteral("no writable videos folder"),
                         liteav::ERR_LOCAL_RECORD_FILE_FAIL);
        return;
    }
    qInfo() << "Live-screen-startFileRecord" << path;
    recordFilePath = path;
    TrtcUtil::instance()->startLocalRecording(path);
}

void LiveScreenDlg::stopRecordCapture()
{
    if (isRecordingToFile()) {
        TrtcUtil::instance()->stopLocalRecording();
    } else {
        TrtcUtil::instance()->stopScreenShare();
    }
}

void LiveScreenDlg::localRecordBegan(int code, const QString &path)
{
    if (path != recordFilePath || recordFilePath.isEmpty()) {
        return; // an answer about a recording this window no longer waits for
    }
    if (code != 0) {
        recordFilePath.clear();
        recordFileFailed(QStringLiteral("the recording did not start"), code);
        return;
    }
    sendWebMsg(QStringLiteral("isRecording"), QStringLiteral("1"));
    setRecordState(RecordState::RecordStartSuccess);
}

void LiveScreenDlg::localRecordFinished(int code, const QString &path)
{
    if (path != recordFilePath || recordFilePath.isEmpty()) {
        return;
    }
    recordFilePath.clear();
    sendWebMsg(QStringLiteral("isRecording"), QStringLiteral("0"));
    if (code != 0) {
        recordFileFailed(QStringLiteral("the recording failed; the file is not usable"), code);
        return;
    }
    qInfo() << "Live-screen-recordFile" << path;
    setRecordState(RecordState::RecordStopSuccess);
    sendWebMsg(QStringLiteral("RecordFile"), QJsonObject{{QStringLiteral("path"), path}});
}

void LiveScreenDlg::recordFileFailed(const QString &reason, int code)
{
    qWarning() << "Live-screen-recordFile failed:" << reason << code;
    if (liveInfo.isRecording == 1) {
        liveInfo.isRecording = 0;
        updateLiveInfo();
    }
    // Not a stop that succeeded: the page hears the recording is not running and why.
    setRecordState(RecordState::NotStart);
    sendWebMsg(QStringLiteral("RecordFile"),
               QJsonObject{{QStringLiteral("error"), reason}, {QStringLiteral("code"), code}});
}
