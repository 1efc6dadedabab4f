#pragma once

#include "LiveBaseData.h"
#include "XDialog.h"

#include <QJsonObject>
#include <QMap>
#include <QRect>
#include <QString>

class CameraRender;
class LiveOverlay;
class ScreenRender;
class ShareFrameDlg;
class ShareOptionDlg;
class XMenu;

// The bottom layer of the live classroom window: everything the window knows about the class,
// the records the class page hands over, and the operations one layer calls on another. The
// operations are declared here with empty bodies so that a lower layer can call into a higher one.
class LiveBaseDlg : public XDialog
{
    Q_OBJECT

public:
    explicit LiveBaseDlg(QWidget *parent = nullptr);
    ~LiveBaseDlg() override;

    // Takes over the class data of the page's "SetLiveData".
    void setLiveData(const QJsonObject &data);
    // The same from the message's parameter text; a text that is not a JSON object changes
    // nothing and returns false.
    bool setLiveData(const QString &param);
    void setErrorInfo(int code, const QString &text);
    void updateLiveInfo();
    void updateLiveTime(int time);
    QJsonObject getWatchData();

    // The reason text when the room was left because the user was removed or the room was
    // dissolved; empty otherwise. The close sequence hands it to the home window.
    QString getCloseMsg() const { return closeMsg; }

    // Implemented by the IM layer.
    virtual void initIm() {}
    virtual void loginIm() {}
    virtual void logoutIm() {}
    virtual void joinGroup() {}
    virtual void quitGroup() {}
    // Implemented by the audio/video layer.
    virtual void enterRoom() {}
    virtual void startLocalVideo() {}
    virtual void stopLocalVideo() {}
    virtual void startLocalAudio() {}
    virtual void stopLocalAudio() {}
    virtual void stopSpeaker() {}
    // Implemented by the screen-sharing layer.
    virtual void showScreenRender(const QString &userId) { Q_UNUSED(userId) }
    virtual void hideScreenRender() {}
    // Implemented by the device menus.
    virtual void refreshDeviceMenu(int type) { Q_UNUSED(type) }
    virtual void enableDevice(int type, bool enable)
    {
        Q_UNUSED(type)
        Q_UNUSED(enable)
    }
    // Implemented by the screen-sharing layer.
    virtual void startRecord() {}
    // The SDK's answers about a recording into a file (code 0 is success), on the GUI thread.
    virtual void localRecordBegan(int code, const QString &path)
    {
        Q_UNUSED(code)
        Q_UNUSED(path)
    }
    virtual void localRecordFinished(int code, const QString &path)
    {
        Q_UNUSED(code)
        Q_UNUSED(path)
    }
    // Implemented by the window: reports the device switches to the page.
    virtual void setDeviceState() {}
    // Implemented by the IM layer.
    virtual void sendC2CLiveCommand(const QString &userId, const QString &command)
    {
        Q_UNUSED(userId)
        Q_UNUSED(command)
    }
    virtual void sendC2CBoardCommand(const QString &userId, const QString &command)
    {
        Q_UNUSED(userId)
        Q_UNUSED(command)
    }
    virtual void sendC2CImCommand(const QString &userId, const QString &command)
    {
        Q_UNUSED(userId)
        Q_UNUSED(command)
    }
    virtual void sendGroupLiveCommand(const QJsonObject &command) { Q_UNUSED(command) }
    virtual void sendGroupLiveCommand(const QString &command) { Q_UNUSED(command) }
    virtual void handleGroupMemberJoin(LiveUser user) { Q_UNUSED(user) }
    // Implemented by the camera views.
    virtual CameraRender *getUserCamera(const QString &userId)
    {
        Q_UNUSED(userId)
        return nullptr;
    }
    // Implemented by the user list.
    virtual LiveUser getLiveUser(const QString &userId)
    {
        Q_UNUSED(userId)
        return LiveUser();
    }
    virtual void updateLiveUser(const LiveUser &user) { Q_UNUSED(user) }
    // Implemented by the screen-sharing layer.
    virtual void showShareOption() {}
    virtual void stopScreenShare() {}

    // What the lower layers ask of a user's camera view (from getUserCamera, never null here).
    // The camera layer, which knows CameraRender, implements them.
    virtual void refreshCameraUser(CameraRender *view) { Q_UNUSED(view) }
    virtual void startCameraVideo(CameraRender *view) { Q_UNUSED(view) }
    virtual void stopCameraVideo(CameraRender *view) { Q_UNUSED(view) }
    virtual void setCameraNetQuality(CameraRender *view, int quality)
    {
        Q_UNUSED(view)
        Q_UNUSED(quality)
    }
    virtual void setCameraVolume(CameraRender *view, int volume)
    {
        Q_UNUSED(view)
        Q_UNUSED(volume)
    }

protected:
    // Set by the window's owner before the data arrives; also the id of the class's IM group.
    QString liveId;
    // Made once; sent with the history and online-list requests so that their answers can be
    // told apart from those of another window.
    QString requestId;
    ClassInfo classInfo;
    LiveInfo liveInfo;
    int liveTime = 0;
    QString liveState = LiveState::NotStart;
    QString recordState = RecordState::NotStart;
    QString screenShareState = ScreenShareState::NotStart;
    LiveSettings liveSettings;
    int trtcSdkAppId = 0;
    QString trtcUserSig;
    LiveUser teacherInfo;
    LiveUser assistantInfo;
    LiveUser currLiveUser;
    // Keyed by user id.
    QMap<QString, LiveUser> onlineStudentList;
    QMap<QString, LiveUser> offlineStudentList;

    // For the higher layers. The views, dialogs and menus are the window's children; the overlay
    // has no parent and belongs to the layer that makes it. None of these pointers owns.
    QMap<QString, CameraRender *> cameraRenderMap;
    ScreenRender *screenRender = nullptr;
    ShareOptionDlg *shareOptionDlg = nullptr;
    ShareFrameDlg *shareFrameDlg = nullptr;
    QMap<int, XMenu *> deviceMenuMap;
    QRect workRect;
    QRect boardRect;
    QRect cameraListRect;
    LiveOverlay *liveOverlay = nullptr;

    // Set when the window starts closing; the state machine then runs the closing chain.
    bool isClosing = false;
    QString closeMsg;
};
