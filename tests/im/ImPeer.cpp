#include "ImPeer.h"

#include "Sdk.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTest>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

using brvim::Sdk;

namespace {

PeerEngine *engineOf(const void *ud)
{
    return static_cast<PeerEngine *>(const_cast<void *>(ud));
}

QString text(const char *s)
{
    return QString::fromUtf8(s ? s : "");
}

} // namespace

PeerEngine::PeerEngine(std::function<void(const QJsonObject &)> sink) : m_sink(std::move(sink)) {}

PeerEngine::~PeerEngine()
{
    if (m_sdk)
        m_sdk->close();
}

const void *PeerEngine::tag(const QString &op)
{
    m_tags.push_back(Tag{this, op});
    return &m_tags.back();
}

QJsonObject PeerEngine::handle(const QJsonObject &cmd)
{
    const QString op = cmd.value(QStringLiteral("op")).toString();
    const auto s = [&](const char *key) {
        return cmd.value(QLatin1String(key)).toString().toUtf8();
    };
    auto result = [](int code, const char *desc, const char *json, const void *ud) {
        const Tag *t = static_cast<const Tag *>(ud);
        t->engine->emitEvent({{QStringLiteral("ev"), QStringLiteral("result")},
                              {QStringLiteral("op"), t->op},
                              {QStringLiteral("code"), code},
                              {QStringLiteral("desc"), text(desc)},
                              {QStringLiteral("json"), text(json)}});
    };
    int code = -1;
    if (op == QLatin1String("init")) {
        code = Sdk::create(1400000001, s("config").constData(), m_sdk);
        if (code == 0) {
            m_sdk->addRecv(
                [](const char *json, const void *ud) {
                    engineOf(ud)->emitEvent({{QStringLiteral("ev"), QStringLiteral("msgs")},
                                             {QStringLiteral("json"), text(json)}});
                },
                this);
            m_sdk->setGroupTips(
                [](const char *json, const void *ud) {
                    engineOf(ud)->emitEvent({{QStringLiteral("ev"), QStringLiteral("tips")},
                                             {QStringLiteral("json"), text(json)}});
                },
                this);
            m_sdk->setKicked(
                [](const void *ud) {
                    engineOf(ud)->emitEvent({{QStringLiteral("ev"), QStringLiteral("kicked")}});
                },
                this);
            m_sdk->setSigExpired(
                [](const void *ud) {
                    engineOf(ud)->emitEvent({{QStringLiteral("ev"), QStringLiteral("expired")}});
                },
                this);
            m_sdk->setNetwork(
                [](int status, int c, const char *, const void *ud) {
                    engineOf(ud)->emitEvent({{QStringLiteral("ev"), QStringLiteral("net")},
                                             {QStringLiteral("status"), status},
                                             {QStringLiteral("code"), c}});
                },
                this);
        }
    } else if (!m_sdk) {
        code = 6013;
    } else if (op == QLatin1String("login")) {
        code = m_sdk->login(s("user").constData(), s("sig").constData(), result, tag(op));
    } else if (op == QLatin1String("logout")) {
        code = m_sdk->logout(result, tag(op));
    } else if (op == QLatin1String("join")) {
        code = m_sdk->join(s("group").constData(), result, tag(op));
    } else if (op == QLatin1String("quit")) {
        code = m_sdk->quit(s("group").constData(), result, tag(op));
    } else if (op == QLatin1String("send")) {
        char id[TIM_MSG_ID_BUF_SIZE] = {};
        code = m_sdk->send(s("conv").constData(), cmd.value(QStringLiteral("type")).toInt(),
                           s("msg").constData(), id, result, tag(op));
    } else if (op == QLatin1String("uninit")) {
        m_sdk->close();
        m_sdk.reset();
        code = 0;
    }
    return {{QStringLiteral("code"), code}};
}

int runPeerProcess(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::mutex out;
    auto write = [&out](const QJsonObject &o) {
        const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
        std::lock_guard<std::mutex> lock(out);
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    };
    PeerEngine engine(write);
    std::thread reader([&] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QJsonObject cmd =
                QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            QMetaObject::invokeMethod(
                &app,
                [&, cmd] {
                    QJsonObject reply = engine.handle(cmd);
                    reply.insert(QStringLiteral("reply"), true);
                    write(reply);
                },
                Qt::BlockingQueuedConnection);
        }
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    const int rc = app.exec();
    reader.join();
    return rc;
}

QJsonObject Peer::waitEvent(const std::function<bool(const QJsonObject &)> &pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    do {
        {
            QMutexLocker lock(&m_mutex);
            for (int i = 0; i < m_events.size(); ++i) {
                if (pred(m_events[i]))
                    return m_events.takeAt(i);
            }
        }
        QTest::qWait(2);
    } while (t.elapsed() < timeoutMs);
    return {};
}

QList<QJsonObject> Peer::events()
{
    QMutexLocker lock(&m_mutex);
    return m_events;
}

void Peer::push(const QJsonObject &ev)
{
    QMutexLocker lock(&m_mutex);
    m_events.append(ev);
}

InProcessPeer::InProcessPeer() : m_engine([this](const QJsonObject &ev) { push(ev); }) {}

ChildProcessPeer::ChildProcessPeer()
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { readLines(); });
    m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--im-peer")});
    m_process.waitForStarted(10000);
}

ChildProcessPeer::~ChildProcessPeer()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void ChildProcessPeer::readLines()
{
    m_buffer += m_process.readAllStandardOutput();
    int nl;
    while ((nl = m_buffer.indexOf('\n')) >= 0) {
        const QJsonObject o = QJsonDocument::fromJson(m_buffer.left(nl)).object();
        m_buffer.remove(0, nl + 1);
        if (o.contains(QStringLiteral("reply")))
            m_replies.append(o);
        else
            push(o);
    }
}

QJsonObject ChildProcessPeer::call(const QJsonObject &cmd)
{
    m_process.write(QJsonDocument(cmd).toJson(QJsonDocument::Compact) + '\n');
    QElapsedTimer t;
    t.start();
    while (m_replies.isEmpty() && t.elapsed() < 15000)
        QTest::qWait(2);
    return m_replies.isEmpty() ? QJsonObject{{QStringLiteral("code"), -2}} : m_replies.takeFirst();
}
