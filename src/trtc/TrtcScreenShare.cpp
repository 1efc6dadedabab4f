#include "TrtcScreenShare.h"

#include "TrtcSdk.h"

#include "JsonUtil.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonObject>
#include <QScreen>
#include <QStandardPaths>

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

void TrtcLocalRecording::startLocalRecording(const QString &filePath)
{
    qDebug() << "TrtcLocalRecording::startLocalRecording" << filePath;
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        const QJsonObject call{
            {QStringLiteral("api"), QStringLiteral("startLocalRecording")},
            {QStringLiteral("params"), QJsonObject{{QStringLiteral("filePath"), filePath}}}};
        sdk->callExperimentalAPI(JsonUtil::toCompactString(call).toUtf8().constData());
    }
}

void TrtcLocalRecording::stopLocalRecording()
{
    qDebug() << "TrtcLocalRecording::stopLocalRecording";
    if (liteav::ITRTCCloud *sdk = TrtcSdk::cloud()) {
        const QJsonObject call{{QStringLiteral("api"), QStringLiteral("stopLocalRecording")}};
        sdk->callExperimentalAPI(JsonUtil::toCompactString(call).toUtf8().constData());
    }
}

QString TrtcLocalRecording::newRecordingPath(const QString &className, const QDateTime &time,
                                             const QString &folder)
{
    const QString dir = folder.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)
                            : folder;
    if (dir.isEmpty() || !QDir().mkpath(dir)) {
        qWarning() << "TrtcLocalRecording: no videos folder" << dir;
        return QString();
    }
    const QFileInfo info(dir);
    if (!info.isDir() || !info.isWritable()) {
        qWarning() << "TrtcLocalRecording: the videos folder is not writable" << dir;
        return QString();
    }
    // The class name comes from the server: no folder separators, no characters other systems
    // refuse in a file name, no leading dot, and a length any file system takes.
    QString name;
    for (const QChar c : className.left(80)) {
        name += c.isPrint() && !QStringLiteral("/\\:*?\"<>|").contains(c) ? c : QLatin1Char('_');
    }
    name = name.trimmed();
    while (name.startsWith(QLatin1Char('.'))) {
        name.remove(0, 1);
    }
    if (name.isEmpty()) {
        name = QStringLiteral("class");
    }
    const QString base =
        QStringLiteral("%1 %2").arg(name, time.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")));
    const QDir target(dir);
    // Two recordings in the same second get numbered names rather than one file.
    for (int n = 1; n < 1000; ++n) {
        const QString file = n == 1 ? base + QStringLiteral(".webm")
                                    : QStringLiteral("%1 (%2).webm").arg(base).arg(n);
        const QString path = target.absoluteFilePath(file);
        if (!QFileInfo::exists(path)) {
            return path;
        }
    }
    return QString();
}
