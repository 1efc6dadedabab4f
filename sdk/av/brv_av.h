// Brimvale audio/video SDK: real-time audio and video for the desktop client.
//
// The interface is the classic C++ one of a TRTC-style SDK: one shared ITRTCCloud instance,
// ITXDeviceManager for device lists and device tests, and ITRTCCloudCallback for events.
//
// Threads: every call may be made from any thread (the client uses its GUI thread). Every
// callback comes from a thread of the SDK, never from the caller's thread. removeCallback()
// returns only once no callback into that sink is running, and none follows it.
//
// Window handles (TXView) are X11 window ids cast to a pointer, e.g.
//   reinterpret_cast<liteav::TXView>(widget->winId())
// The SDK draws into them through an X11 video sink; the picture follows the window's size.
// A window may be destroyed while it is drawn into.
//
// Strings are UTF-8. Strings returned by the SDK live as long as the object that returned them
// (device collections, source lists) or, for getSDKVersion, as long as the process.
#pragma once

#include <cstdint>

#if defined(BRV_AV_BUILD)
#define BRV_AV_API __attribute__((visibility("default")))
#else
#define BRV_AV_API
#endif

// The callback interface's empty defaults leave their parameters unused on purpose.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace liteav {

/// A native window: an X11 window id cast to a pointer. Null means "no window".
typedef void *TXView;

struct SIZE
{
    long cx = 0;
    long cy = 0;
};

/// A rectangle in screen pixels; right and bottom are exclusive (width = right − left).
/// An empty rectangle (all zero) means "the whole source".
struct RECT
{
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

// ---------------------------------------------------------------------------------------------
// Enumerations
// ---------------------------------------------------------------------------------------------

enum TRTCAppScene {
    TRTCAppSceneVideoCall = 0,
    TRTCAppSceneLIVE = 1,
    TRTCAppSceneAudioCall = 2,
    TRTCAppSceneVoiceChatRoom = 3,
};

enum TRTCRoleType {
    TRTCRoleAnchor = 20,
    TRTCRoleAudience = 21,
};

enum TRTCVideoStreamType {
    TRTCVideoStreamTypeBig = 0,
    TRTCVideoStreamTypeSmall = 1,
    TRTCVideoStreamTypeSub = 2,
};

/// Video resolutions (landscape sizes; portrait mode swaps width and height).
enum TRTCVideoResolution {
    TRTCVideoResolution_120_120 = 1,
    TRTCVideoResolution_160_160 = 3,
    TRTCVideoResolution_270_270 = 5,
    TRTCVideoResolution_480_480 = 7,
    TRTCVideoResolution_160_120 = 50,
    TRTCVideoResolution_240_180 = 52,
    TRTCVideoResolution_280_210 = 54,
    TRTCVideoResolution_320_240 = 56,
    TRTCVideoResolution_400_300 = 58,
    TRTCVideoResolution_480_360 = 60,
    TRTCVideoResolution_640_480 = 62,
    TRTCVideoResolution_960_720 = 64,
    TRTCVideoResolution_160_90 = 100,
    TRTCVideoResolution_256_144 = 102,
    TRTCVideoResolution_320_180 = 104,
    TRTCVideoResolution_480_270 = 106,
    TRTCVideoResolution_640_360 = 108,
    TRTCVideoResolution_960_540 = 110,
    TRTCVideoResolution_1280_720 = 112,
    TRTCVideoResolution_1920_1080 = 114,
};

enum TRTCVideoResolutionMode {
    TRTCVideoResolutionModeLandscape = 0,
    TRTCVideoResolutionModePortrait = 1,
};

enum TRTCVideoRotation {
    TRTCVideoRotation0 = 0,
    TRTCVideoRotation90 = 1,
    TRTCVideoRotation180 = 2,
    TRTCVideoRotation270 = 3,
};

enum TRTCVideoFillMode {
    TRTCVideoFillMode_Fill = 0,
    TRTCVideoFillMode_Fit = 1,
};

enum TRTCVideoMirrorType {
    TRTCVideoMirrorType_Auto = 0,
    TRTCVideoMirrorType_Enable = 1,
    TRTCVideoMirrorType_Disable = 2,
};

enum TRTCBeautyStyle {
    TRTCBeautyStyleSmooth = 0,
    TRTCBeautyStyleNature = 1,
};

enum TRTCVideoPixelFormat {
    TRTCVideoPixelFormat_Unknown = 0,
    TRTCVideoPixelFormat_I420 = 1,
    TRTCVideoPixelFormat_Texture_2D = 2,
    TRTCVideoPixelFormat_BGRA32 = 6,
    TRTCVideoPixelFormat_RGBA32 = 7,
};

enum TRTCVideoBufferType {
    TRTCVideoBufferType_Unknown = 0,
    TRTCVideoBufferType_Buffer = 1,
    TRTCVideoBufferType_Texture = 3,
};

enum TRTCAudioQuality {
    TRTCAudioQualitySpeech = 1,
    TRTCAudioQualityDefault = 2,
    TRTCAudioQualityMusic = 3,
};

/// Network quality of one user: 0 unknown, 1 excellent … 6 down.
enum TRTCQuality {
    TRTCQuality_Unknown = 0,
    TRTCQuality_Excellent = 1,
    TRTCQuality_Good = 2,
    TRTCQuality_Poor = 3,
    TRTCQuality_Bad = 4,
    TRTCQuality_Vbad = 5,
    TRTCQuality_Down = 6,
};

enum TRTCAVStatusType {
    TRTCAVStatusStopped = 0,
    TRTCAVStatusPlaying = 1,
    TRTCAVStatusLoading = 2,
};

enum TRTCAVStatusChangeReason {
    TRTCAVStatusChangeReasonInternal = 0,
    TRTCAVStatusChangeReasonBufferingBegin = 1,
    TRTCAVStatusChangeReasonBufferingEnd = 2,
    TRTCAVStatusChangeReasonLocalStarted = 3,
    TRTCAVStatusChangeReasonLocalStopped = 4,
    TRTCAVStatusChangeReasonRemoteStarted = 5,
    TRTCAVStatusChangeReasonRemoteStopped = 6,
};

enum TRTCScreenCaptureSourceType {
    TRTCScreenCaptureSourceTypeUnknown = -1,
    TRTCScreenCaptureSourceTypeWindow = 0,
    TRTCScreenCaptureSourceTypeScreen = 1,
    TRTCScreenCaptureSourceTypeCustom = 2,
};

/// Device types: microphone 0, speaker 1, camera 2.
enum TXMediaDeviceType {
    TXMediaDeviceTypeUnknown = -1,
    TXMediaDeviceTypeMic = 0,
    TXMediaDeviceTypeSpeaker = 1,
    TXMediaDeviceTypeCamera = 2,
};

/// Device change: 0 added, 1 removed, 2 became the system's default.
enum TXMediaDeviceState {
    TXMediaDeviceStateAdd = 0,
    TXMediaDeviceStateRemove = 1,
    TXMediaDeviceStateActive = 2,
};

/// Error codes raised through onError and returned by calls. 0 is success.
enum TXLiteAVError {
    ERR_NULL = 0,
    ERR_INVALID_PARAMETER = -1001,
    ERR_NOT_SUPPORTED = -1002,
    ERR_CAMERA_START_FAIL = -1301,
    ERR_MIC_START_FAIL = -1302,
    ERR_SCREEN_CAPTURE_START_FAIL = -1308,
    ERR_SCREEN_CAPTURE_UNSURPORT = -1309,
    ERR_CAMERA_NOT_AUTHORIZED = -1314,
    ERR_CAMERA_SET_PARAM_FAIL = -1315,
    ERR_CAMERA_OCCUPY = -1316,
    ERR_MIC_NOT_AUTHORIZED = -1317,
    ERR_MIC_SET_PARAM_FAIL = -1318,
    ERR_MIC_OCCUPY = -1319,
    ERR_MIC_STOP_FAIL = -1320,
    ERR_SPEAKER_START_FAIL = -1321,
    ERR_SPEAKER_SET_PARAM_FAIL = -1322,
    ERR_SPEAKER_STOP_FAIL = -1323,
    ERR_DEVICE_NOT_FOUND = -1324,
    /// The recording's file could not be created (it exists, or its folder is not writable).
    ERR_LOCAL_RECORD_FILE_FAIL = -1401,
    /// Recording failed: one already runs, or the encoder or muxer failed.
    ERR_LOCAL_RECORD_FAIL = -1402,
    ERR_ROOM_ENTER_FAIL = -3301,
    ERR_ROOM_REQUEST_IP_TIMEOUT = -3308,
    ERR_ENTER_ROOM_PARAM_NULL = -3316,
    ERR_SDK_APPID_INVALID = -3317,
    ERR_ROOM_ID_INVALID = -3318,
    ERR_USER_ID_INVALID = -3319,
    ERR_USER_SIG_INVALID = -3320,
};

enum TXLiteAVWarning {
    WARNING_CAMERA_DEVICE_EMPTY = 1111,
    WARNING_MICROPHONE_DEVICE_EMPTY = 1201,
    WARNING_SPEAKER_DEVICE_EMPTY = 1202,
    WARNING_VIDEO_RENDER_FAIL = 2110,
    /// The media server sent a message that could not be read; it was ignored.
    WARNING_ROOM_SIGNALLING_BAD = 6001,
    /// A published or played stream failed in the media engine.
    WARNING_ROOM_MEDIA = 6002,
};

// ---------------------------------------------------------------------------------------------
// Structures
// ---------------------------------------------------------------------------------------------

/// Room entry. Strings are borrowed for the duration of enterRoom() only.
struct TRTCParams
{
    uint32_t sdkAppId = 0;
    const char *userId = nullptr;
    const char *userSig = nullptr;
    uint32_t roomId = 0;
    const char *strRoomId = nullptr; ///< used instead of roomId when not empty
    TRTCRoleType role = TRTCRoleAnchor;
    const char *streamId = nullptr;
    const char *userDefineRecordId = nullptr;
    const char *privateMapKey = nullptr;
    const char *businessInfo = nullptr;
};

/// Video encoder parameters; bitrates in kbit/s.
struct TRTCVideoEncParam
{
    TRTCVideoResolution videoResolution = TRTCVideoResolution_640_360;
    TRTCVideoResolutionMode resMode = TRTCVideoResolutionModeLandscape;
    uint32_t videoFps = 15;
    uint32_t videoBitrate = 550;
    uint32_t minVideoBitrate = 0;
    bool enableAdjustRes = false;
};

struct TRTCRenderParams
{
    TRTCVideoRotation rotation = TRTCVideoRotation0;
    TRTCVideoFillMode fillMode = TRTCVideoFillMode_Fit;
    TRTCVideoMirrorType mirrorType = TRTCVideoMirrorType_Auto;
};

struct TRTCAudioVolumeEvaluateParams
{
    uint32_t interval = 300; ///< milliseconds between onUserVoiceVolume events
    bool enableVadDetection = false;
    bool enablePitchCalculation = false;
    bool enableSpectrumCalculation = false;
};

/// One user's voice volume (0–100); the own user has an empty user id.
struct TRTCVolumeInfo
{
    const char *userId = nullptr;
    uint32_t volume = 0;
    int32_t vad = 0;
    float pitch = 0;
    float *spectrumData = nullptr;
    uint32_t spectrumDataLength = 0;
};
typedef TRTCVolumeInfo TRTCAudioVolumeInfo;

struct TRTCQualityInfo
{
    const char *userId = nullptr;
    TRTCQuality quality = TRTCQuality_Unknown;
};

struct TRTCSpeedTestResult
{
    bool success = false;
    const char *errMsg = nullptr;
    const char *ip = nullptr;
    TRTCQuality quality = TRTCQuality_Unknown;
    float upLostRate = 0;
    float downLostRate = 0;
    uint32_t rtt = 0; ///< milliseconds
    uint32_t availableUpBandwidth = 0;
    uint32_t availableDownBandwidth = 0;
};

struct TRTCLocalStatistics
{
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t frameRate = 0;
    uint32_t videoBitrate = 0;
    uint32_t audioSampleRate = 0;
    uint32_t audioBitrate = 0;
    TRTCVideoStreamType streamType = TRTCVideoStreamTypeBig;
};

struct TRTCRemoteStatistics
{
    const char *userId = nullptr;
    uint32_t finalLoss = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t frameRate = 0;
    uint32_t videoBitrate = 0;
    uint32_t audioSampleRate = 0;
    uint32_t audioBitrate = 0;
    TRTCVideoStreamType streamType = TRTCVideoStreamTypeBig;
};

struct TRTCStatistics
{
    uint32_t upLoss = 0;
    uint32_t downLoss = 0;
    uint32_t appCpu = 0;
    uint32_t systemCpu = 0;
    uint32_t rtt = 0;
    uint32_t receivedBytes = 0;
    uint32_t sentBytes = 0;
    TRTCLocalStatistics *localStatisticsArray = nullptr;
    uint32_t localStatisticsArraySize = 0;
    TRTCRemoteStatistics *remoteStatisticsArray = nullptr;
    uint32_t remoteStatisticsArraySize = 0;
};

/// One video frame handed to a render callback.
struct TRTCVideoFrame
{
    TRTCVideoPixelFormat videoFormat = TRTCVideoPixelFormat_Unknown;
    TRTCVideoBufferType bufferType = TRTCVideoBufferType_Unknown;
    char *data = nullptr;
    int textureId = 0;
    uint32_t length = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t timestamp = 0;
    TRTCVideoRotation rotation = TRTCVideoRotation0;
};

/// A picture: 32-bit pixels, B, G, R, A bytes in memory order (QImage::Format_ARGB32 on
/// little-endian machines), rows of width × 4 bytes.
struct TRTCImageBuffer
{
    const char *buffer = nullptr;
    uint32_t length = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

/// A screen or a top-level window that can be captured. For a screen, sourceId is the
/// X11 root window and x, y, width, height are the screen's area; for a window, sourceId is
/// the window and x, y, width, height its frame in root coordinates.
struct TRTCScreenCaptureSourceInfo
{
    TRTCScreenCaptureSourceType type = TRTCScreenCaptureSourceTypeUnknown;
    TXView sourceId = nullptr;
    const char *sourceName = nullptr;
    TRTCImageBuffer thumbBGRA;
    TRTCImageBuffer iconBGRA;
    bool isMinimizeWindow = false;
    bool isMainScreen = false;
    int32_t x = 0;
    int32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

struct TRTCScreenCaptureProperty
{
    bool enableCaptureMouse = true;
    bool enableHighLight = true;
    bool enableHighPerformance = true;
    int highLightColor = 0;
    int highLightWidth = 0;
    bool enableCaptureChildWindow = false;
};

// ---------------------------------------------------------------------------------------------
// Collections. Each is owned by the caller once returned and freed with release().
// ---------------------------------------------------------------------------------------------

class ITXDeviceInfo
{
protected:
    virtual ~ITXDeviceInfo() = default;

public:
    /// Display name, UTF-8.
    virtual const char *getDeviceName() = 0;
    /// Stable id of the device, UTF-8; the same text on every run while the device exists.
    virtual const char *getDevicePID() = 0;
    virtual void release() = 0;
};

class ITXDeviceCollection
{
protected:
    virtual ~ITXDeviceCollection() = default;

public:
    virtual uint32_t getCount() = 0;
    /// Name of the device at index (empty text out of range).
    virtual const char *getDeviceName(uint32_t index) = 0;
    /// Id of the device at index (empty text out of range).
    virtual const char *getDevicePID(uint32_t index) = 0;
    virtual void release() = 0;
};
typedef ITXDeviceCollection ITRTCDeviceCollection;

class ITRTCScreenCaptureSourceList
{
protected:
    virtual ~ITRTCScreenCaptureSourceList() = default;

public:
    virtual uint32_t getCount() = 0;
    /// The source at index; a default record out of range. Valid until release().
    virtual TRTCScreenCaptureSourceInfo getSourceInfo(uint32_t index) = 0;
    virtual void release() = 0;
};

// ---------------------------------------------------------------------------------------------
// Callbacks
// ---------------------------------------------------------------------------------------------

/// Receives video frames. Registration with a callback is not supported by this SDK: the
/// register calls accept a null callback (to clear) only.
class ITRTCVideoRenderCallback
{
public:
    virtual ~ITRTCVideoRenderCallback() = default;
    virtual void onRenderVideoFrame(const char *userId, TRTCVideoStreamType streamType,
                                    TRTCVideoFrame *frame) = 0;
};

/// Events of the SDK. Every method has an empty default. They are called on an SDK thread;
/// the pointers they pass are valid only during the call.
class ITRTCCloudCallback
{
public:
    virtual ~ITRTCCloudCallback() = default;

    // Errors and warnings
    virtual void onError(TXLiteAVError errCode, const char *errMsg, void *extraInfo) {}
    virtual void onWarning(TXLiteAVWarning warningCode, const char *warningMsg, void *extraInfo) {}

    // Room
    /// result > 0: milliseconds it took to enter; result < 0: an error code.
    virtual void onEnterRoom(int result) {}
    /// 0 the user left, 1 removed from the room, 2 the room was dissolved.
    virtual void onExitRoom(int reason) {}
    virtual void onSwitchRole(TXLiteAVError errCode, const char *errMsg) {}
    virtual void onSwitchRoom(TXLiteAVError errCode, const char *errMsg) {}
    virtual void onConnectOtherRoom(const char *userId, TXLiteAVError errCode, const char *errMsg)
    {}
    virtual void onDisconnectOtherRoom(TXLiteAVError errCode, const char *errMsg) {}

    // Users
    virtual void onRemoteUserEnterRoom(const char *userId) {}
    virtual void onRemoteUserLeaveRoom(const char *userId, int reason) {}
    virtual void onUserVideoAvailable(const char *userId, bool available) {}
    virtual void onUserSubStreamAvailable(const char *userId, bool available) {}
    virtual void onUserAudioAvailable(const char *userId, bool available) {}
    virtual void onFirstVideoFrame(const char *userId, const TRTCVideoStreamType streamType,
                                   const int width, const int height)
    {}
    virtual void onFirstAudioFrame(const char *userId) {}
    virtual void onSendFirstLocalVideoFrame(const TRTCVideoStreamType streamType) {}
    virtual void onSendFirstLocalAudioFrame() {}
    virtual void onRemoteVideoStatusUpdated(const char *userId, TRTCVideoStreamType streamType,
                                            TRTCAVStatusType status,
                                            TRTCAVStatusChangeReason reason, void *extrainfo)
    {}
    virtual void onRemoteAudioStatusUpdated(const char *userId, TRTCAVStatusType status,
                                            TRTCAVStatusChangeReason reason, void *extrainfo)
    {}
    virtual void onUserVideoSizeChanged(const char *userId, TRTCVideoStreamType streamType,
                                        int newWidth, int newHeight)
    {}

    // Network and statistics
    virtual void onNetworkQuality(TRTCQualityInfo localQuality, TRTCQualityInfo *remoteQuality,
                                  uint32_t remoteQualityCount)
    {}
    virtual void onStatistics(const TRTCStatistics &statistics) {}
    virtual void onSpeedTestResult(const TRTCSpeedTestResult &result) {}
    virtual void onConnectionLost() {}
    virtual void onTryToReconnect() {}
    virtual void onConnectionRecovery() {}

    // Devices
    virtual void onCameraDidReady() {}
    virtual void onMicDidReady() {}
    /// The own user comes with an empty user id; totalVolume is the loudest of them (0–100).
    virtual void onUserVoiceVolume(TRTCVolumeInfo *userVolumes, uint32_t userVolumesCount,
                                   uint32_t totalVolume)
    {}
    virtual void onDeviceChange(const char *deviceId, TXMediaDeviceType type,
                                TXMediaDeviceState state)
    {}
    virtual void onAudioDeviceCaptureVolumeChanged(uint32_t volume, bool muted) {}
    virtual void onAudioDevicePlayoutVolumeChanged(uint32_t volume, bool muted) {}
    virtual void onSystemAudioLoopbackError(TXLiteAVError errCode) {}
    /// Microphone test level, 0–100, at the interval given to startMicDeviceTest.
    virtual void onTestMicVolume(uint32_t volume) {}
    /// Speaker test level, 0–100.
    virtual void onTestSpeakerVolume(uint32_t volume) {}

    // Messages
    virtual void onRecvCustomCmdMsg(const char *userId, int32_t cmdID, uint32_t seq,
                                    const uint8_t *message, uint32_t messageSize)
    {}
    virtual void onMissCustomCmdMsg(const char *userId, int32_t cmdID, int32_t errCode,
                                    int32_t missed)
    {}
    virtual void onRecvSEIMsg(const char *userId, const uint8_t *message, uint32_t messageSize) {}

    // Relayed streams
    virtual void onStartPublishing(int errCode, const char *errMsg) {}
    virtual void onStopPublishing(int errCode, const char *errMsg) {}
    virtual void onStartPublishCDNStream(int errCode, const char *errMsg) {}
    virtual void onStopPublishCDNStream(int errCode, const char *errMsg) {}
    virtual void onSetMixTranscodingConfig(int errCode, const char *errMsg) {}
    virtual void onStartPublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                           void *extraInfo)
    {}
    virtual void onUpdatePublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                            void *extraInfo)
    {}
    virtual void onStopPublishMediaStream(const char *taskId, int errCode, const char *errMsg,
                                          void *extraInfo)
    {}
    virtual void onCdnStreamStateChanged(const char *cdnUrl, int status, int errCode,
                                         const char *errMsg, void *extraInfo)
    {}

    // Screen capture. Reasons: 0 by the user's call, 1 the target went away.
    virtual void onScreenCaptureCovered() {}
    virtual void onScreenCaptureStarted() {}
    virtual void onScreenCapturePaused(int reason) {}
    virtual void onScreenCaptureResumed(int reason) {}
    virtual void onScreenCaptureStoped(int reason) {}

    // Local recording and snapshots. errCode 0 is success; otherwise an error code
    // (ERR_LOCAL_RECORD_FILE_FAIL, ERR_SCREEN_CAPTURE_START_FAIL, ERR_LOCAL_RECORD_FAIL).
    virtual void onLocalRecordBegin(int errCode, const char *storagePath) {}
    virtual void onLocalRecording(long duration, const char *storagePath) {}
    virtual void onLocalRecordComplete(int errCode, const char *storagePath) {}
    virtual void onSnapshotComplete(const char *userId, TRTCVideoStreamType type, char *data,
                                    uint32_t length, uint32_t width, uint32_t height,
                                    TRTCVideoPixelFormat format)
    {}

    // Older events, kept for callers written against them
    virtual void onUserEnter(const char *userId) {}
    virtual void onUserExit(const char *userId, int reason) {}
    virtual void onPlayBGMBegin(TXLiteAVError errCode) {}
    virtual void onPlayBGMProgress(uint32_t progressMS, uint32_t durationMS) {}
    virtual void onPlayBGMComplete(TXLiteAVError errCode) {}
};

// ---------------------------------------------------------------------------------------------
// Device manager
// ---------------------------------------------------------------------------------------------

/// Devices of each type. Every list ends with a virtual device that always exists: a moving
/// test-pattern camera (with the time and the user id), a test-tone microphone and a silent
/// speaker. Owned by the SDK instance; never delete it.
class ITXDeviceManager
{
protected:
    virtual ~ITXDeviceManager() = default;

public:
    /// The devices of a type, real ones first, then the virtual one. Null for an unknown type.
    virtual ITXDeviceCollection *getDevicesList(TXMediaDeviceType type) = 0;
    /// Selects the device by id for the type. 0 on success, ERR_DEVICE_NOT_FOUND for an id
    /// that is not listed, ERR_INVALID_PARAMETER for a bad type or null id. A running preview,
    /// test or local audio of that type moves to the new device.
    virtual int setCurrentDevice(TXMediaDeviceType type, const char *deviceId) = 0;
    /// The selected device of the type (the first listed when none was selected). Caller
    /// releases it. Null for an unknown type.
    virtual ITXDeviceInfo *getCurrentDevice(TXMediaDeviceType type) = 0;
    /// Volume of the selected microphone or speaker, 0–100.
    virtual int setCurrentDeviceVolume(TXMediaDeviceType type, uint32_t volume) = 0;
    virtual uint32_t getCurrentDeviceVolume(TXMediaDeviceType type) = 0;
    virtual int setCurrentDeviceMute(TXMediaDeviceType type, bool mute) = 0;
    virtual bool getCurrentDeviceMute(TXMediaDeviceType type) = 0;

    /// Shows the selected camera in the window. 0 or an error code.
    virtual int startCameraDeviceTest(TXView view) = 0;
    virtual int stopCameraDeviceTest() = 0;
    /// Captures the selected microphone and raises onTestMicVolume every interval ms.
    virtual int startMicDeviceTest(uint32_t interval) = 0;
    virtual int stopMicDeviceTest() = 0;
    /// Plays the file (any format GStreamer decodes) on the selected speaker, looping; an empty
    /// or null path plays a test tone for about a second, then 0 is reported. Raises
    /// onTestSpeakerVolume.
    virtual int startSpeakerDeviceTest(const char *filePath) = 0;
    virtual int stopSpeakerDeviceTest() = 0;
};

// ---------------------------------------------------------------------------------------------
// The SDK
// ---------------------------------------------------------------------------------------------

class ITRTCCloud
{
protected:
    virtual ~ITRTCCloud() = default;

public:
    /// Adds an event sink. Adding the same sink twice has no further effect.
    virtual void addCallback(ITRTCCloudCallback *callback) = 0;
    /// Removes the sink; once this returns, no callback into it runs or follows. May be called
    /// from inside a callback (it then does not wait for that one callback).
    virtual void removeCallback(ITRTCCloudCallback *callback) = 0;

    // Room
    /// Enters the room; onEnterRoom follows (elapsed milliseconds, or an error code).
    virtual void enterRoom(const TRTCParams &params, TRTCAppScene scene) = 0;
    /// Leaves the room; onExitRoom(0) follows. Remote views and screen capture stop; the local
    /// preview and local audio go on (unpublished) until they are stopped.
    virtual void exitRoom() = 0;
    virtual void switchRole(TRTCRoleType role) = 0;

    // Video
    /// Shows the selected camera in the window with the local render parameters, the beauty
    /// filter and the encoder parameters. In the room the camera is published too.
    virtual void startLocalPreview(TXView rendView) = 0;
    virtual void stopLocalPreview() = 0;
    virtual void muteLocalVideo(TRTCVideoStreamType streamType, bool mute) = 0;
    virtual void startRemoteView(const char *userId, TRTCVideoStreamType streamType,
                                 TXView rendView) = 0;
    virtual void stopRemoteView(const char *userId, TRTCVideoStreamType streamType) = 0;
    virtual void stopAllRemoteView() = 0;
    virtual void muteRemoteVideoStream(const char *userId, TRTCVideoStreamType streamType,
                                       bool mute) = 0;
    virtual void setVideoEncoderParam(const TRTCVideoEncParam &params) = 0;
    virtual void setLocalRenderParams(const TRTCRenderParams &params) = 0;
    virtual void setRemoteRenderParams(const char *userId, TRTCVideoStreamType streamType,
                                       const TRTCRenderParams &params) = 0;
    /// Only a null callback (clear) is accepted; 0 then, ERR_NOT_SUPPORTED otherwise.
    virtual int setLocalVideoRenderCallback(TRTCVideoPixelFormat pixelFormat,
                                            TRTCVideoBufferType bufferType,
                                            ITRTCVideoRenderCallback *callback) = 0;
    virtual int setRemoteVideoRenderCallback(const char *userId, TRTCVideoPixelFormat pixelFormat,
                                             TRTCVideoBufferType bufferType,
                                             ITRTCVideoRenderCallback *callback) = 0;

    // Audio
    /// Captures the selected microphone; in the room it is published. Raises
    /// onMicDidReady and, in the room, onSendFirstLocalAudioFrame.
    virtual void startLocalAudio(TRTCAudioQuality quality) = 0;
    virtual void stopLocalAudio() = 0;
    virtual void muteLocalAudio(bool mute) = 0;
    virtual void muteRemoteAudio(const char *userId, bool mute) = 0;
    virtual void muteAllRemoteAudio(bool mute) = 0;
    /// Raises onUserVoiceVolume every interval ms while enabled and local audio runs.
    virtual void enableAudioVolumeEvaluation(bool enable,
                                             const TRTCAudioVolumeEvaluateParams &params) = 0;
    /// Volume of what the room plays out, 0–100.
    virtual void setAudioPlayoutVolume(int volume) = 0;
    virtual int getAudioPlayoutVolume() = 0;
    /// Gain of the local capture, 0–100.
    virtual void setAudioCaptureVolume(int volume) = 0;
    virtual int getAudioCaptureVolume() = 0;

    // Beauty filter: levels 0–9 (0 = off). Applies to local preview and camera test.
    virtual void setBeautyStyle(TRTCBeautyStyle style, uint32_t beautyLevel,
                                uint32_t whitenessLevel, uint32_t ruddinessLevel) = 0;

    // Devices
    virtual ITXDeviceManager *getDeviceManager() = 0;

    // Screen capture
    /// Every screen and every top-level window with thumbnails and icons scaled to fit the
    /// given sizes (aspect kept, borders added). Caller releases the list.
    virtual ITRTCScreenCaptureSourceList *getScreenCaptureSources(const SIZE &thumbSize,
                                                                  const SIZE &iconSize) = 0;
    /// Chooses what startScreenCapture captures: the source, optionally a rectangle inside it
    /// (in source pixels; empty = whole source). Whatever lies off the screen is clipped.
    virtual void selectScreenCaptureTarget(const TRTCScreenCaptureSourceInfo &source,
                                           const RECT &captureRect,
                                           const TRTCScreenCaptureProperty &property) = 0;
    /// Starts capturing the selected target (the main screen when none) into the stream,
    /// shown in rendView when given. onScreenCaptureStarted follows, or onError.
    virtual void startScreenCapture(TXView rendView, TRTCVideoStreamType streamType,
                                    TRTCVideoEncParam *encParam) = 0;
    virtual void pauseScreenCapture() = 0;
    virtual void resumeScreenCapture() = 0;
    /// onScreenCaptureStoped(0) follows when a capture ran.
    virtual void stopScreenCapture() = 0;

    // Network
    virtual void startSpeedTest(uint32_t sdkAppId, const char *userId, const char *userSig) = 0;
    virtual void stopSpeedTest() = 0;

    /// "brimvale-av <version> (GStreamer <version>)".
    virtual const char *getSDKVersion() = 0;

    /// Settings outside the classic interface, as JSON {"api": NAME, "params": {...}}:
    ///   {"api": "setServer", "params": {"url": "ws://host:8188/"}}  the Janus VideoRoom server
    ///       that the next enterRoom joins (its WebSocket API); an empty url gives the room of
    ///       one, without a server. The user signature then carries the server's token (a JWT
    ///       whose payload has a "janus" claim).
    ///   {"api": "startLocalRecording", "params": {"filePath": "/path/name.webm"}}  records the
    ///       selected capture target (the main screen when none) into a new WebM file (VP8),
    ///       whatever the room. The file must not exist yet: it is never overwritten.
    ///       onLocalRecordBegin(0, path) follows, or onLocalRecordBegin(error, path) when the file
    ///       cannot be made, the capture fails to start, or a recording already runs.
    ///   {"api": "stopLocalRecording"}  ends it: once the muxer has written the file's end,
    ///       onLocalRecordComplete(0, path). A failure while recording or while finishing gives
    ///       onLocalRecordComplete(error, path) instead; the file is then not usable.
    /// Unknown or malformed calls raise onWarning and change nothing.
    virtual void callExperimentalAPI(const char *jsonStr) = 0;
};

} // namespace liteav

#pragma GCC diagnostic pop

extern "C" {
/// The one SDK instance of the process, created on first call.
BRV_AV_API liteav::ITRTCCloud *getTRTCShareInstance();
/// Stops everything, joins the SDK's threads and frees the instance. The next
/// getTRTCShareInstance() makes a new one.
BRV_AV_API void destroyTRTCShareInstance();
}
