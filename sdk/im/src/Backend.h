#pragma once

#include "Message.h"

#include <QJsonArray>
#include <QJsonObject>
#include <functional>
#include <string>

namespace brvim {

class EventLoop;

// Result of a request: code, description, JSON text.
using Done = std::function<void(int code, const std::string &desc, const std::string &json)>;

// What a back end reports, always on the SDK's loop thread.
class BackendHost
{
public:
    virtual ~BackendHost() = default;
    virtual EventLoop &loop() = 0;
    virtual void deliverMessages(const QJsonArray &messages) = 0;
    virtual void deliverGroupTips(const QJsonObject &tips) = 0;
    virtual void networkStatus(int status, int code, const std::string &desc) = 0;
    // The session has ended because of this (already signed out).
    virtual void kickedOffline() = 0;
    virtual void userSigExpired() = 0;
};

// A way of reaching other users: the embedded hub or an XMPP server. Called on the loop thread
// only, in the order the caller made the requests.
class Backend
{
public:
    virtual ~Backend() = default;
    virtual void login(const std::string &user, const std::string &sig, Done done) = 0;
    virtual void logout(Done done) = 0;
    virtual void join(const std::string &group, Done done) = 0;
    virtual void quit(const std::string &group, Done done) = 0;
    // msg has its id, rand, client time and elements; the back end sets sender, seq, time.
    virtual void send(Message msg, Done done) = 0;
    // Ends everything without callbacks; the loop stops right after.
    virtual void shutdown() = 0;
};

} // namespace brvim
