#include "LiveDlg.h"

#include "GlobalSignal.h"
#include "JsonUtil.h"
#include "LangUtil.h"
#include "LiveOverlay.h"
#include "ScreenRender.h"
#include "ScreenUtil.h"
#include "ThemeStyle.h"
#include "TrtcUtil.h"
#include "WebEngineView.h"

#include <QApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QIcon>
#include <QJsonArray>
#include <QScreen>
#include <QTimer>

namespace {

int loadFinishedCounter = 0;

} // namespace

LiveDlg::LiveDlg(QWidget *parent) : TitleMenuDlg(parent)
{
    setObjectName(QStringLiteral("LiveDlg"));
    QSize size(1116, 768);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size());
    }
    resize(size);
    setWindowTitle(LangUtil::tr(QStringLiteral("LiveDlg"), QStringLiteral("LiveDlg")));
    bgColor = ThemeStyle::instance()->bgColor;
    initDeviceMenu();
    setTitle(QString());
    setTitleBarVisible(false);
    loadPage(QStringLiteral("/qt/live/index"), QJsonObject());
    liveOverlay = new LiveOverlay(this);
    connect(liveOverlay, &LiveOverlay::signalWebMsg, this, &LiveDlg::slotWebMsg);
    setWindowIcon(QIcon(QStringLiteral(":/res/icon/icon.png")));
}

LiveDlg::~LiveDlg()
{
    // The overlay has no parent; it goes with the window.
    delete liveOverlay;
    liveOverlay = nullptr;
}

int LiveDlg::loadFinishedCount()
{
    return loadFinishedCounter;
}

void LiveDlg::setLiveId(const QString &id)
{
    liveId = id;
    sendWebMsg(QStringLiteral("SetLiveId"), id);
}

void LiveDlg::setDeviceState()
{
    TrtcUtil *trtc = TrtcUtil::instance();
    sendWebMsg(QStringLiteral("SetDeviceState"),
               QJsonObject{{QStringLiteral("isCameraEnable"), trtc->isCameraEnabled()},
                           {QStringLiteral("isMicEnable"), trtc->isMicEnabled()},
                           {QStringLiteral("isSpeakerEnable"), trtc->isSpeakerEnabled()}});
}

QRect LiveDlg::pageRectFrom(const QJsonObject &object, const char *logText)
{
    qDebug() << logText << object;
    const int x = static_cast<int>(JsonUtil::getDouble(object, QStringLiteral("x"), 0));
    const int y = static_cast<int>(JsonUtil::getDouble(object, QStringLiteral("y"), 0));
    const int width = static_cast<int>(JsonUtil::getDouble(object, QStringLiteral("width"), 0));
    const int height = static_cast<int>(JsonUtil::getDouble(object, QStringLiteral("height"), 0));
    if (width <= 0 || height <= 0) {
        return QRect();
    }
    const QPoint origin = webView() != nullptr ? webView()->pos() : QPoint();
    const QRect rect(origin.x() + x, origin.y() + y, width, height);
    qDebug() << logText << rect;
    return rect;
}

void LiveDlg::setWorkRect(const QJsonObject &object)
{
    const QRect rect = pageRectFrom(object, "Live-setWorkRect");
    if (!rect.isNull()) {
        workRect = rect;
    }
}

void LiveDlg::setBoardRect(const QJsonObject &object)
{
    const QRect rect = pageRectFrom(object, "Live-setBoardRect");
    if (!rect.isNull()) {
        boardRect = rect;
    }
}

void LiveDlg::setCameraListRect(const QJsonObject &object)
{
    const QRect rect = pageRectFrom(object, "Live-setCameraListRect");
    if (!rect.isNull()) {
        cameraListRect = rect;
    }
}

void LiveDlg::logWindows(const QString &step)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        qDebug().noquote() << "[round-corner]" << step << "| win:" << w->metaObject()->className()
                           << "obj:" << w->objectName() << "visible:" << w->isVisible()
                           << "geom:" << w->geometry();
    }
}

void LiveDlg::slotWebMsg(const QString &funcName, const QString &param)
{
    qDebug() << "live-dialog-slotWebMsg" << funcName << param;
    const auto object = [&param] {
        return JsonUtil::str2Json(param);
    };
    if (funcName == QLatin1String("LoadFinished")) {
        ++loadFinishedCounter;
        logWindows(QStringLiteral("loadFinished-before"));
        showMaximized();
        qDebug().noquote() << "[round-corner]"
                           << "loadFinished-after-showMaximized" << loadFinishedCounter
                           << isMaximized() << windowState() << geometry()
                           << (isMaximized() ? 0 : cornerRadius);
        QTimer::singleShot(300, this,
                           [this] { logWindows(QStringLiteral("loadFinished-settled")); });
        sendWebMsg(QStringLiteral("max"), QString());
    } else if (funcName == QLatin1String("SetLiveData")) {
        if (setLiveData(param)) {
            setDeviceState();
            initIm();
        }
    } else if (funcName == QLatin1String("ShowDeviceMenu")) {
        showDeviceMenu(getDeviceType(JsonUtil::getString(object(), QStringLiteral("type"))));
    } else if (funcName == QLatin1String("OpenSubDlg")) {
        if (liveOverlay != nullptr) {
            liveOverlay->sendWebMsg(funcName, param);
            liveOverlay->showOverlay();
        }
    } else if (funcName == QLatin1String("OpenCloudFile")) {
        sendWebMsg(funcName, param);
    } else if (funcName == QLatin1String("ShareFrame") ||
               funcName == QLatin1String("ShareOption")) {
        showShareOption();
    } else if (funcName == QLatin1String("SetWorkRect")) {
        setWorkRect(object());
    } else if (funcName == QLatin1String("SetBoardRect")) {
        setBoardRect(object());
    } else if (funcName == QLatin1String("SetCameraListRect")) {
        setCameraListRect(object());
    } else if (funcName == QLatin1String("SetCameraViewRects")) {
        qDebug() << "Live-camera-setCameraViewRects" << param;
        const QJsonArray rects = JsonUtil::str2JsonAarry(param);
        for (const QJsonValue &value : rects) {
            setCameraViewRect(value.toObject());
        }
    } else if (funcName == QLatin1String("LiveChat")) {
        QJsonObject chat = object();
        QString message = JsonUtil::getString(chat, QStringLiteral("message"));
        if (message.isEmpty()) {
            message = JsonUtil::getString(chat, QStringLiteral("content"));
        }
        chat.insert(QStringLiteral("message"), message);
        slotChatMsg(JsonUtil::toCompactString(chat));
    } else if (funcName == QLatin1String("ImCommand")) {
        const QJsonObject command = object();
        const QString toUserId = JsonUtil::getString(command, QStringLiteral("toUserId"));
        if (!toUserId.isEmpty()) {
            sendC2CImCommand(toUserId, JsonUtil::getString(command, QStringLiteral("command")));
        }
    } else if (funcName == QLatin1String("BoardCommand")) {
        const QJsonObject command = object();
        const QString name = JsonUtil::getString(command, QStringLiteral("command"));
        if (name == QLatin1String("ChangeBoard")) {
            liveInfo.currBoardId = JsonUtil::getString(command, QStringLiteral("boardId"));
        }
        const QString toUserId = JsonUtil::getString(command, QStringLiteral("toUserId"));
        if (!toUserId.isEmpty()) {
            sendC2CBoardCommand(toUserId, name);
        } else {
            sendGroupBoardCommand(command);
        }
    } else if (funcName == QLatin1String("LiveCommand")) {
        slotLiveCommand(param);
    }
    TitleMenuDlg::slotWebMsg(funcName, param);
}

void LiveDlg::closeEx()
{
    qDebug() << "Live-closeEx";
    isClosing = true;
    if (currLiveUser.isEnteredRoom == 1) {
        qDebug() << "Live-closeEx"
                 << "exitRoom";
        exitRoom();
        return;
    }
    if (currLiveUser.isJoinedGroup == 1) {
        qDebug() << "Live-closeEx"
                 << "quitGroup";
        quitGroup();
        return;
    }
    // The home window deletes this window on the event; it is published once.
    if (closeLivePublished) {
        return;
    }
    closeLivePublished = true;
    GlobalSignal::Instance()->notify(QStringLiteral("Signal_CloseLive"),
                                     QJsonObject{{QStringLiteral("closeMsg"), getCloseMsg()}});
}

void LiveDlg::placeScreenRender()
{
    if (screenRender != nullptr && screenRender->isVisible()) {
        screenRender->setGeometry(webView() != nullptr ? webView()->geometry() : rect());
    }
}

void LiveDlg::resizeLiveOverlay()
{
    if (liveOverlay == nullptr) {
        return;
    }
    const int titleH = isTitleBarVisible() ? ThemeStyle::instance()->titleHeight : 0;
    const QRect content(0, titleH, width(), height() - titleH);
    const QRect global(mapToGlobal(content.topLeft()), content.size());
    liveOverlay->setGeometry(global);
    qDebug().noquote() << "[round-corner]"
                       << "resizeLiveOverlay"
                       << "| liveDlgGeom:" << geometry() << "contentRect:" << content
                       << "overlayGeom:" << liveOverlay->geometry()
                       << "overlayVisible:" << liveOverlay->isVisible();
}

void LiveDlg::moveEvent(QMoveEvent *event)
{
    TitleMenuDlg::moveEvent(event);
    placeCameraOverlays();
    resizeLiveOverlay();
    placeScreenRender();
}

void LiveDlg::resizeEvent(QResizeEvent *event)
{
    TitleMenuDlg::resizeEvent(event);
    placeWebView(webView());
    placeScreenRender();
    resizeLiveOverlay();
    placeCameraOverlays();
}

void LiveDlg::showEvent(QShowEvent *event)
{
    TitleMenuDlg::showEvent(event);
    resizeLiveOverlay();
}

void LiveDlg::changeEvent(QEvent *event)
{
    TitleMenuDlg::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && liveOverlay != nullptr &&
        liveOverlay->isVisible()) {
        liveOverlay->raise();
    }
}
