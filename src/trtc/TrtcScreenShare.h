#pragma once

#include "TrtcAudio.h"

#include <QRect>

class QDateTime;

class QScreen;

// Screen and window capture for sharing.
class TrtcScreenShare : public TrtcCustom
{
public:
    ~TrtcScreenShare() override;

    static constexpr int thumbnailSize = 300;

    // Every screen and top-level window with 300x300 thumbnails and icons; the caller releases
    // the list. Null without an SDK.
    liteav::ITRTCScreenCaptureSourceList *getScreenCaptureSources();
    // The rectangle is in logical pixels of the screen (the primary one when none is given).
    void selectScreenCaptureTarget(const liteav::TRTCScreenCaptureSourceInfo &source,
                                   const QRect &rect, QScreen *screen = nullptr);
    void startScreenShare(liteav::TRTCVideoEncParam params);
    void stopScreenShare();

    // The rectangle the SDK is given for a logical rectangle at a pixel ratio: each of x, y,
    // width and height scaled and cut to whole pixels.
    static liteav::RECT captureRect(const QRect &rect, qreal devicePixelRatio);
    // What every capture target is captured with.
    static liteav::TRTCScreenCaptureProperty captureProperty();
};

// Relayed streams are not used.
class TrtcCdn : public TrtcScreenShare
{
public:
    ~TrtcCdn() override;
};

// Custom messages are not used.
class TrtcMessage : public TrtcCdn
{
public:
    ~TrtcMessage() override;
};

// Recording on this machine: the selected capture target into a WebM file, for classes
// without a media server to record into.
class TrtcLocalRecording : public TrtcMessage
{
public:
    ~TrtcLocalRecording() override;

    // onLocalRecordBegin follows; the file must not exist yet.
    void startLocalRecording(const QString &filePath);
    // onLocalRecordComplete follows once the file is complete.
    void stopLocalRecording();

    // A file name in folder (the user's videos folder when empty, created when missing) for a
    // recording of a class at a time, which names no existing file; empty when the folder
    // cannot be made or written to.
    static QString newRecordingPath(const QString &className, const QDateTime &time,
                                    const QString &folder = QString());
};
