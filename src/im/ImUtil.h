#pragma once

#include "ImMessage.h"

#include <QJsonObject>
#include <QString>

// The SDK's code for a user who already is a member of the group.
constexpr int ImAlreadyGroupMember = 10013;

// True for a failure; joining a group one already belongs to is not one.
bool isImError(int code);

// The program's door to the IM SDK: start and stop, log in and out, network status, and through
// its bases the user status, groups and messages. One instance for the process, never deleted;
// it holds nothing, so any thread may use it.
class ImUtil : public ImMessage
{
public:
    static ImUtil *instance();

    int init(int sdkAppId);
    int uninit();
    int login(const QString &userId, const QString &userSig, ImCallback *cb);
    int logout(ImCallback *cb);
    void setNetworkStatusListenerCallback(ImCallback *cb);
    QString getSDKVersion();

    // The configuration init() passes: the SDK's log and configuration folder and, when one is
    // set, the server ("brv_server"): the environment variable BRV_IM_SERVER, else the settings
    // key "imServer". Without a server the SDK runs embedded.
    static QJsonObject initConfig();

private:
    ImUtil() = default;
    ~ImUtil() override;
};
