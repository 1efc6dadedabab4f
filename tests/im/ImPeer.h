#pragma once

#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QProcess>
#include <functional>
#include <list>
#include <memory>

namespace brvim {
class Sdk;
}

// The other user of the IM tests: one SDK instance driven by JSON commands, reporting every
// callback as a JSON event. It runs in the test's own process (the embedded mode, where all users
// share the process) or in a child process (a real server, two processes as in a class).
class PeerEngine
{
public:
    explicit PeerEngine(std::function<void(const QJsonObject &)> sink);
    ~PeerEngine();
    // {"op": "init"|"login"|"logout"|"join"|"quit"|"send"|"uninit", ...} -> {"code": n}
    QJsonObject handle(const QJsonObject &cmd);
    void emitEvent(const QJsonObject &ev) { m_sink(ev); }

private:
    struct Tag
    {
        PeerEngine *engine;
        QString op;
    };
    const void *tag(const QString &op);

    std::function<void(const QJsonObject &)> m_sink;
    std::unique_ptr<brvim::Sdk> m_sdk;
    std::list<Tag> m_tags;
};

// Runs the engine over stdin/stdout; the test binary's "--im-peer" mode.
int runPeerProcess(int argc, char **argv);

class Peer
{
public:
    virtual ~Peer() = default;
    virtual QJsonObject call(const QJsonObject &cmd) = 0;
    // Waits (running the event loop) for an event that pred accepts and removes it; an empty
    // object after timeoutMs.
    QJsonObject waitEvent(const std::function<bool(const QJsonObject &)> &pred, int timeoutMs);
    // Every event that arrived so far.
    QList<QJsonObject> events();

protected:
    void push(const QJsonObject &ev);

private:
    QMutex m_mutex;
    QList<QJsonObject> m_events;
};

class InProcessPeer : public Peer
{
public:
    InProcessPeer();
    QJsonObject call(const QJsonObject &cmd) override { return m_engine.handle(cmd); }

private:
    PeerEngine m_engine;
};

class ChildProcessPeer : public Peer
{
public:
    ChildProcessPeer();
    ~ChildProcessPeer() override;
    QJsonObject call(const QJsonObject &cmd) override;

private:
    void readLines();
    QProcess m_process;
    QByteArray m_buffer;
    QList<QJsonObject> m_replies;
};
