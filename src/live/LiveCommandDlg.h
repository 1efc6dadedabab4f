#pragma once

#include "LiveScreenDlg.h"

// The layer where commands meet: from the class page, from the camera controls and from the
// other participants. It turns them into device switches, room steps, record and state updates,
// messages to the page and commands to the others.
//
// Remote commands that switch this user's devices on or end the class act only when they are
// about this window's class, and those that open a device only when the class's teacher or
// assistant sent them; anyone else who can message this user is refused, with a log line.
class LiveCommandDlg : public LiveScreenDlg
{
    Q_OBJECT

public:
    explicit LiveCommandDlg(QWidget *parent = nullptr);
    ~LiveCommandDlg() override;

    void setUserMaxVideo(const QString &userId, bool isMax);
    // Why a remote live command is refused; empty when it may act.
    QString refusalOf(const QString &command, const QString &sender, const QJsonObject &data);
    // Ends the work-area recording; a running share stays (it is also the recording).
    void stopRecord();

public slots:
    void slotLiveCommand(QString param);
    void slotChatMsg(QString param);
    void slotRemoteLiveCommand(QString param);
    void slotRemoteBoardCommand(QString param);
    void slotRemoteImCommand(QString param);
    void slotRecvChatMsg(QString param);

private:
    bool isStudent() const;
    bool isTeacher() const;
    // Board and IM commands: only this class's, and history answers only to this window's request.
    void forwardRemote(const QString &param, const QString &historyCommand,
                       const QString &funcName);
};
