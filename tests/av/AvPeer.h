#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

// The other participant of the room tests: one SDK instance in a process of its own (as in a
// class, every participant is a process), driven by JSON lines on its standard input and
// reporting every callback as a JSON line {"ev": name, "user": ..., "a": n, "b": n}.
//   {"op": "enter", "user": U, "room": N, "sig": S, "server": URL}
//   {"op": "exit"} | {"op": "camera"|"mic"|"screen", "on": bool} | {"op": "volumes", "ms": n}
class AvPeer
{
public:
    ~AvPeer();
    bool start(const QString &program);
    void send(const QJsonObject &cmd);
    // Waits (running the event loop) for an event that pred accepts; an empty object after
    // timeoutMs. Events stay recorded.
    QJsonObject waitEvent(const std::function<bool(const QJsonObject &)> &pred, int timeoutMs);
    QList<QJsonObject> events() const { return m_events; }
    void clearEvents() { m_events.clear(); }
    void kill();
    qint64 pid() const { return m_process ? m_process->processId() : 0; }

private:
    void readLines();
    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;
    QList<QJsonObject> m_events;
};

// The "--av-peer" mode of the test binary.
int runAvPeer(int argc, char **argv);
