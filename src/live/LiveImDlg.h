#pragma once

#include "ImCallback.h"
#include "LiveUserDlg.h"

// The layer that connects the class to the IM service: starts the SDK with the class's
// credentials, logs in, joins the class group (its id is the live id), leaves and logs out when
// the window closes, and sends the window's chat lines and commands. Every step reports a live
// state, which decides the next one.
//
// The session callbacks overridden here reach the window on the GUI thread (ImCallback carries
// them there) and never after the window is gone.
class LiveImDlg : public LiveUserDlg, public ImCallback
{
    Q_OBJECT

public:
    explicit LiveImDlg(QWidget *parent = nullptr);
    ~LiveImDlg() override;

    void initIm() override;
    void loginIm() override;
    void logoutIm() override;
    void joinGroup() override;
    void quitGroup() override;

    void sendC2CLiveCommand(const QString &userId, const QString &command) override;
    void sendC2CLiveCommand(const QString &userId, const QJsonObject &command);
    void sendC2CBoardCommand(const QString &userId, const QString &command) override;
    void sendC2CImCommand(const QString &userId, const QString &command) override;
    void sendGroupLiveCommand(const QJsonObject &command) override;
    void sendGroupLiveCommand(const QString &command) override;
    void sendC2CChatMsg(const QString &userId, const QString &text);
    void sendGroupChatMsg(const QString &text);
    void sendGroupBoardCommand(const QJsonObject &command);
    void createSendMsgTask(const QJsonObject &task);

    void handleGroupMemberJoin(LiveUser user) override;
    void handleGroupMemberExit(const QString &userId);

    void onLoginCb(int code, const char *desc, const char *json) override;
    void onLogoutCb(int code, const char *desc, const char *json) override;
    void onRecvNewMsgCb(const char *json) override;
    void onSendMessageCb(int code, const char *desc, const char *json) override;
    void onJoinGroupCb(int code, const char *desc, const char *json) override;
    void onQuitGroupCb(int code, const char *desc, const char *json) override;
    void onGroupTipsEventCallback(const char *json) override;

private:
    void registerImCallbacks(ImCallback *cb);

    // The SDK is process-wide: a window tears down only what its own initIm started.
    bool imStarted = false;
};
