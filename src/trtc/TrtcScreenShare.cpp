#include "TrtcScreenShare.h"

#include "TrtcSdk.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

TrtcScreenShare::~TrtcScreenShare() = default;

TrtcCdn::~TrtcCdn() = default;

TrtcMessage::~TrtcMessage() = default;

TrtcLocalRecording::~TrtcLocalRecording() = default;

liteav::ITRTCScreenCaptureSourceList *TrtcScreenShare::getScreenCaptureSources()
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    if (sdk == nullptr) {
        return nullptr;
    }
    liteav::SIZE size;
    size.cx = thumbnailSize;
    size.cy = thumbnailSize;
    return sdk->getScreenCaptureSources(size, size);
}

liteav::RECT TrtcScreenShare::captureRect(const QRect &rect, qreal devicePixelRatio)
{
    const int x = static_cast<int>(rect.x() * devicePixelRatio);
    const int y = static_cast<int>(rect.y() * devicePixelRatio);
    const int width = static_cast<int>(rect.width() * devicePixelRatio);
    const int height = static_cast<int>(rect.height() * devicePixelRatio);
    // The SDK's right and bottom edges lie just outside the rectangle.
    liteav::RECT edges;
    edges.left = x;
    edges.top = y;
    edges.right = static_cast<long>(x) + width;
    edges.bottom = static_cast<long>(y) + height;
    return edges;
}

liteav::TRTCScreenCaptureProperty TrtcScreenShare::captureProperty()
{
    liteav::TRTCScreenCaptureProperty property;
    property.enableCaptureMouse = true;
    property.enableHighLight = false;
    property.enableHighPerformance = true;
    property.highLightColor = 0;
    property.highLightWidth = 0;
    property.enableCaptureChildWindow = true;
    return property;
}

void TrtcScreenShare::selectScreenCaptureTarget(const liteav::TRTCScreenCaptureSourceInfo &source,
                                                const QRect &rect, QScreen *screen)
{
    liteav::ITRTCCloud *sdk = TrtcSdk::cloud();
    if (sdk == nullptr) {
        return;
    }
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
    sdk->selectScreenCaptureTarget(source, captureRect(rect, ratio), captureProperty());
}

void TrtcScreenShare::startScreenShare(liteav::TRTCVideoEncParam params)
{
    qDebug() << "TrtcScreenShare::startScreenShare";
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->startScreenCapture(nullptr, liteav::TRTCVideoStreamTypeSub, &params);
    }
}

void TrtcScreenShare::stopScreenShare()
{
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        sdk->stopScreenCapture();
    }
}
