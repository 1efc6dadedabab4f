// The IM client layer on the real SDK (embedded mode): the receive task against the event bus,
// the send path's wire format, and the callback sink's thread and lifetime rules.
#include "AppSettings.h"
#include "GlobalSignal.h"
#include "ImCallback.h"
#include "ImUtil.h"
#include "JsonUtil.h"
#include "RecvImMsgTask.h"
#include "SendImMsgTask.h"
#include "StringUtil.h"

#include "ImSignature.h"
#include "LogCapture.h"

#include "brv_im.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QMutex>
#include <QProcess>
#include <QSemaphore>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <new>

namespace {
const QString me = QStringLiteral("teacher1");
const int appId = 1400000001;

QString userSig(const QString &user)
{
    return imSignature(BRV_IM_DEMO_USERSIG_KEY, user, appId);
}
const QString classId = QStringLiteral("live-42");

using Events = QList<QPair<QString, QString>>;

class EventTap : public QObject
{
    Q_OBJECT

public:
    EventTap(const QString &name, Events *events, QObject *parent)
        : QObject(parent), name(name), events(events)
    {}

public slots:
    void slotEvent(const QString &param) { events->append({name, param}); }

private:
    QString name;
    Events *events;
};

// Records the events of the bus in the order they reach the GUI thread.
class EventLog : public QObject
{
public:
    explicit EventLog(const QStringList &names)
    {
        for (const QString &name : names) {
            GlobalSignal::Instance()->add(name, new EventTap(name, &events, this),
                                          SLOT(slotEvent(QString)));
        }
    }
    ~EventLog() override
    {
        for (QObject *tap : children()) {
            GlobalSignal::Instance()->removeAll(tap);
        }
    }
    Events events;

    QStringList names() const
    {
        QStringList out;
        for (const auto &event : events) {
            out << event.first;
        }
        return out;
    }
    QJsonObject payload(int index) const
    {
        return QJsonDocument::fromJson(events.at(index).second.toUtf8()).object();
    }
};

const QStringList allEvents{ImSignal::RecvLiveChatMsg,    ImSignal::RemoteLiveCommand,
                            ImSignal::RemoteBoardCommand, ImSignal::RemoteImCommand,
                            ImSignal::CloudCommandMain,   ImSignal::CloudCommandLive};

QJsonObject customMessage(const QString &conv, int convType, const QString &sender,
                          const QString &desc, const QString &data, int seq = 7)
{
    QJsonObject elem{{QStringLiteral("elem_type"), 3},
                     {QStringLiteral("custom_elem_desc"), desc},
                     {QStringLiteral("custom_elem_data"), data}};
    return QJsonObject{{QStringLiteral("message_conv_id"), conv},
                       {QStringLiteral("message_conv_type"), convType},
                       {QStringLiteral("message_sender"), sender},
                       {QStringLiteral("message_seq"), seq},
                       {QStringLiteral("message_rand"), 1234567},
                       {QStringLiteral("message_server_time"), 1700000000},
                       {QStringLiteral("message_elem_array"), QJsonArray{elem}}};
}

QString compact(const QJsonObject &obj)
{
    return QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact));
}

// Does with the SDK's answers what the live window does, and records where they arrived.
class Client : public ImCallback
{
public:
    ~Client() override { stopImCallbacks(); }

    struct Result
    {
        int code;
        QString json;
        QThread *thread;
    };

    void onLoginCb(int code, const char *, const char *json) override
    {
        record(logins, code, json);
    }
    void onLogoutCb(int code, const char *, const char *json) override
    {
        record(logouts, code, json);
    }
    void onJoinGroupCb(int code, const char *, const char *json) override
    {
        record(joins, code, json);
    }
    void onQuitGroupCb(int code, const char *, const char *json) override
    {
        record(quits, code, json);
    }
    void onSendMessageCb(int code, const char *, const char *json) override
    {
        record(sends, code, json);
    }
    void onGroupTipsEventCallback(const char *json) override { record(tips, 0, json); }
    void onNetworkStatusListenerCb(int status, int code, const char *desc) override
    {
        Q_UNUSED(desc);
        record(network, code, QByteArray::number(status).constData());
    }
    void onRecvNewMsgCb(const char *json) override
    {
        const QJsonArray messages = JsonUtil::str2JsonAarry(QString::fromUtf8(json));
        record(received, 0, json);
        if (!messages.isEmpty()) {
            QThreadPool::globalInstance()->start(new RecvImMsgTask(messages), 0);
        }
    }

    QList<Result> take(QList<Result> &list)
    {
        QMutexLocker locker(&mutex);
        return list;
    }
    int count(const QList<Result> &list)
    {
        QMutexLocker locker(&mutex);
        return list.size();
    }

    QMutex mutex;
    QList<Result> logins, logouts, joins, quits, sends, received, network, tips;

private:
    void record(QList<Result> &list, int code, const char *json)
    {
        QMutexLocker locker(&mutex);
        list.append({code, QString::fromUtf8(json), QThread::currentThread()});
    }
};

// Counts what reaches it; tells when an SDK-thread callback is inside and lets it go on.
class Probe : public ImCallback
{
public:
    explicit Probe(std::atomic<int> *calls, std::atomic<bool> *finished = nullptr)
        : calls(calls), finished(finished)
    {}
    ~Probe() override { stopImCallbacks(); }
    void onLoginCb(int, const char *, const char *) override { ++*calls; }
    void onRecvNewMsgCb(const char *json) override
    {
        ++*calls;
        if (qstrcmp(json, "hold") == 0) {
            inside.release();
            QThread::msleep(300);
            *finished = true;
        } else if (qstrcmp(json, "self-destruct") == 0) {
            delete this;
        }
    }
    std::atomic<int> *calls;
    std::atomic<bool> *finished;
    QSemaphore inside;
};
} // namespace

namespace {
// Runs the event loop until done() or the time is up.
template <typename Done> bool waitFor(Done done, int ms = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

const QString peerId = QStringLiteral("s7");
const QString peerText = QStringLiteral("老师，我有问题：<x>&\"y\" 🙂");

// The other participant, in a process of its own with its own settings: signs in through the
// same client layer, joins the class, sends a chat line and a command, and leaves when told.
int runPeer(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    UserInfo user;
    user.userId = peerId;
    user.nickname = QStringLiteral("小明");
    user.avatarUrl = QStringLiteral("avatar/7.png");
    AppSettings::setUserInfo(user);
    ImUtil *im = ImUtil::instance();
    Client client;
    if (im->init(appId) != 0 || im->login(peerId, userSig(peerId), &client) != 0 ||
        !waitFor([&] { return client.count(client.logins) == 1; }) ||
        client.take(client.logins).at(0).code != 0) {
        return 2;
    }
    if (im->joinGroup(classId, &client) != 0 ||
        !waitFor([&] { return client.count(client.joins) == 1; }) ||
        isImError(client.take(client.joins).at(0).code)) {
        return 3;
    }
    im->sendGroupChatMsg(classId, peerText, &client);
    im->sendGroupCommand(classId, ImMsgType::LiveCommand,
                         {{"command", "RaiseHand"}, {"liveId", classId}}, &client);
    if (!waitFor([&] { return client.count(client.sends) == 2; })) {
        return 4;
    }
    for (const Client::Result &result : client.take(client.sends)) {
        if (result.code != 0) {
            return 5;
        }
    }
    QFile out;
    out.open(stdout, QIODevice::WriteOnly);
    out.write("sent\n");
    out.flush();
    QFile in;
    in.open(stdin, QIODevice::ReadOnly);
    in.readLine();
    im->quitGroup(classId, &client);
    waitFor([&] { return client.count(client.quits) == 1; });
    im->logout(&client);
    waitFor([&] { return client.count(client.logouts) == 1; });
    return im->uninit() == 0 ? 0 : 6;
}

std::pair<bool, QString> classServers(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(BRV_TEST_SOURCE_DIR "/scripts/class-servers.sh"), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        return {false, QString()};
    }
    return {p.exitCode() == 0, QString::fromUtf8(p.readAllStandardOutput()).trimmed()};
}
} // namespace

class TestImClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void chatLinesReachOnlyThisClass();
    void commandsArePublishedInEnvelopes();
    void hostileMessagesReadAsEmpty();
    void batchesKeepTheirOrder();
    void facadeHelpers();
    void initConfigNamesTheServer();
    void callbacksNeverReachDestroyedObjects();
    void destructionWaitsForRunningCallback();
    void sessionOnEmbeddedSdk();
    void sessionThroughClassServer();
    void cleanupTestCase();

private:
    void runTask(const QJsonArray &messages, EventLog &log, int expected);
};

void TestImClient::initTestCase()
{
    UserInfo user;
    user.userId = me;
    user.nickname = QStringLiteral("王老师");
    user.avatarUrl = QString();
    AppSettings::setUserInfo(user);
    AppSettings::setLiveId(classId);
    QCOMPARE(AppSettings::userId(), me);
}

void TestImClient::runTask(const QJsonArray &messages, EventLog &log, int expected)
{
    RecvImMsgTask task(messages);
    task.setAutoDelete(false);
    task.run();
    // Publishing is queued to this thread: nothing arrives before the event loop runs.
    QCOMPARE(log.events.size(), 0);
    QTRY_COMPARE(log.events.size(), expected);
    QTest::qWait(50);
    QCOMPARE(log.events.size(), expected);
}

void TestImClient::chatLinesReachOnlyThisClass()
{
    EventLog log(allEvents);
    LogCapture capture;
    const QString chat =
        QStringLiteral(R"({"senderId":"s7","nickname":"小明","message":"老师好！<b>&amp;</b>"})");
    const QJsonArray batch{
        // Another class's line: dropped, but its conversation is still marked read.
        customMessage(QStringLiteral("live-41"), 2, QStringLiteral("s7"), ImMsgType::ChatMsg, chat,
                      3),
        // Own line echoed back: dropped.
        customMessage(classId, 2, me, ImMsgType::ChatMsg, chat, 4),
        // The kind in other letter case is still chat.
        customMessage(classId, 2, QStringLiteral("s7"), QStringLiteral("chatMSG"), chat, 5),
    };
    runTask(batch, log, 1);

    QCOMPARE(log.events.at(0).first, ImSignal::RecvLiveChatMsg);
    const QString text = log.events.at(0).second;
    const QJsonObject line = log.payload(0);
    const QStringList keys{"content", "convId",   "deleteFlag", "isBlock",  "msgRandom", "msgSeq",
                           "msgType", "sdkAppId", "sendTime",   "senderId", "senderName"};
    // No avatar: no "senderAvatarUrl"; the empty identifiers are left out too.
    QCOMPARE(line.keys(), keys);
    QCOMPARE(line.value("content").toString(), QStringLiteral("老师好！<b>&amp;</b>"));
    QCOMPARE(line.value("senderName").toString(), QStringLiteral("小明"));
    QCOMPARE(line.value("senderId").toString(), QStringLiteral("s7"));
    QCOMPARE(line.value("convId").toString(), classId);
    QCOMPARE(line.value("msgSeq").toInt(), 5);
    QCOMPARE(line.value("msgRandom").toInt(), 1234567);
    QCOMPARE(line.value("sendTime").toString(),
             QDateTime::fromSecsSinceEpoch(1700000000).toString("yyyy-MM-dd hh:mm:ss"));
    QCOMPARE(text, compact(line));

    // Every custom element asked the SDK to clear its conversation (refused here: not signed in),
    // the foreign class's line and the own one included.
    int cleanups = 0;
    for (const QString &message : capture.messages()) {
        cleanups += message.startsWith(QStringLiteral("ImMessage::cleanConvUnreadCount error"));
    }
    QCOMPARE(cleanups, 3);
}

void TestImClient::commandsArePublishedInEnvelopes()
{
    EventLog log(allEvents);
    const QString command = QStringLiteral(R"({"command":"OpenCamera","liveId":"live-42"})");
    const QJsonArray batch{
        customMessage(classId, 2, QStringLiteral("t2"), ImMsgType::LiveCommand, command, 10),
        customMessage(classId, 2, QStringLiteral("t2"), QStringLiteral("boardcommand"), command,
                      11),
        customMessage(QStringLiteral("admin"), 1, QStringLiteral("admin"), ImMsgType::ImCommand,
                      command, 12),
        customMessage(classId, 2, QStringLiteral("t2"), ImMsgType::CloudCommand, command, 13),
        // Unknown kinds and own commands publish nothing.
        customMessage(classId, 2, QStringLiteral("t2"), QStringLiteral("Whatever"), command, 14),
        customMessage(classId, 2, me, ImMsgType::LiveCommand, command, 15),
        // Data that is not an object arrives as an empty object.
        customMessage(classId, 2, QStringLiteral("t2"), ImMsgType::LiveCommand,
                      QStringLiteral("[1,2,3]"), 16),
    };
    runTask(batch, log, 6);

    QCOMPARE(log.names(), (QStringList{ImSignal::RemoteLiveCommand, ImSignal::RemoteBoardCommand,
                                       ImSignal::RemoteImCommand, ImSignal::CloudCommandMain,
                                       ImSignal::CloudCommandLive, ImSignal::RemoteLiveCommand}));
    const QJsonObject first = log.payload(0);
    QCOMPARE(first.keys(), (QStringList{"data", "msgRand", "msgSeq", "sender"}));
    QCOMPARE(first.value("sender").toString(), QStringLiteral("t2"));
    QCOMPARE(first.value("msgSeq").toInt(), 10);
    QCOMPARE(first.value("msgRand").toInt(), 1234567);
    QCOMPARE(first.value("data").toObject(), JsonUtil::str2Json(command));
    QCOMPARE(log.payload(2).value("sender").toString(), QStringLiteral("admin"));
    // Both cloud events carry the same text.
    QCOMPARE(log.events.at(3).second, log.events.at(4).second);
    QCOMPARE(log.payload(3).value("msgSeq").toInt(), 13);
    QCOMPARE(log.payload(5).value("data"), QJsonValue(QJsonObject()));
}

void TestImClient::hostileMessagesReadAsEmpty()
{
    EventLog log(allEvents);
    QJsonObject bigNumbers = customMessage(classId, 2, QStringLiteral("s9"), ImMsgType::ChatMsg,
                                           QStringLiteral(R"({"message":"x"})"));
    bigNumbers.insert("message_seq", 4294967296.0);
    bigNumbers.insert("message_rand", 1.5);
    bigNumbers.insert("message_server_time", -5);
    QJsonObject stringType = customMessage(classId, 2, QStringLiteral("s9"), ImMsgType::LiveCommand,
                                           QStringLiteral("{}"));
    QJsonObject elem = stringType.value("message_elem_array").toArray().at(0).toObject();
    elem.insert("elem_type", "3");
    stringType.insert("message_elem_array", QJsonArray{elem, 3, QJsonValue::Null});
    const QJsonArray batch{
        QStringLiteral("not a message"),
        QJsonObject{{"message_elem_array", "not an array"}},
        QJsonObject{{"message_elem_array",
                     QJsonArray{QJsonObject{{"elem_type", 5}}, QJsonObject{{"elem_type", 8}},
                                QJsonObject{{"elem_type", 0}}}}},
        stringType,
        // No sender, no conversation: not the class's, not own.
        QJsonObject{{"message_elem_array",
                     QJsonArray{QJsonObject{{"elem_type", 3},
                                            {"custom_elem_desc", ImMsgType::ImCommand},
                                            {"custom_elem_data", 42}}}}},
        bigNumbers,
    };
    runTask(batch, log, 2);
    QCOMPARE(log.names(), (QStringList{ImSignal::RemoteImCommand, ImSignal::RecvLiveChatMsg}));
    // Empty sender left out; numbers that are not 32-bit whole numbers read as 0.
    QCOMPARE(log.events.at(0).second, QStringLiteral(R"({"data":{},"msgRand":0,"msgSeq":0})"));
    const QJsonObject line = log.payload(1);
    QCOMPARE(line.value("msgSeq").toInt(-1), 0);
    QCOMPARE(line.value("msgRandom").toInt(-1), 0);
    QCOMPARE(line.value("sendTime").toString(), StringUtil::timeToString(0));
    QVERIFY(!line.contains("senderName"));
}

void TestImClient::batchesKeepTheirOrder()
{
    EventLog log({ImSignal::RemoteLiveCommand});
    const auto command = [](int seq) {
        return QJsonArray{customMessage(classId, 2, QStringLiteral("t2"), ImMsgType::LiveCommand,
                                        QStringLiteral("{}"), seq)};
    };
    const auto seqs = [&log] {
        QList<int> out;
        for (int i = 0; i < log.events.size(); ++i) {
            out << log.payload(i).value("msgSeq").toInt();
        }
        return out;
    };
    {
        // The later task runs first: it publishes the earlier batch before its own.
        RecvImMsgTask first(command(1));
        RecvImMsgTask second(command(2));
        first.setAutoDelete(false);
        second.setAutoDelete(false);
        second.run();
        first.run();
        // A task that never runs takes its batch with it.
        RecvImMsgTask never(command(3));
    }
    RecvImMsgTask last(command(4));
    last.setAutoDelete(false);
    last.run();
    QTRY_COMPARE(seqs(), (QList<int>{1, 2, 4}));

    // Batches delivered one after another and run by the pool's threads at once keep their order.
    log.events.clear();
    QList<int> expected;
    for (int seq = 10; seq < 410; ++seq) {
        QThreadPool::globalInstance()->start(new RecvImMsgTask(command(seq)), 0);
        expected << seq;
    }
    QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
    QTRY_COMPARE(log.events.size(), expected.size());
    QCOMPARE(seqs(), expected);
}

void TestImClient::facadeHelpers()
{
    QVERIFY(!isImError(0));
    QVERIFY(!isImError(10013));
    QVERIFY(isImError(10004));
    QVERIFY(isImError(-1));

    QCOMPARE(ImMessage::prefixedConvId("group_live-42", 2), QStringLiteral("group_live-42"));
    QCOMPARE(ImMessage::prefixedConvId("live-42", 2), QStringLiteral("group_live-42"));
    QCOMPARE(ImMessage::prefixedConvId("Group_x", 2), QStringLiteral("group_Group_x"));
    QCOMPARE(ImMessage::prefixedConvId("group_admin", 1), QStringLiteral("c2c_group_admin"));
    QCOMPARE(ImMessage::prefixedConvId("c2c_admin", 1), QStringLiteral("c2c_admin"));
    QCOMPARE(ImMessage::prefixedConvId("x", 3), QStringLiteral("x"));

    // Many threads asking for the facade at once get one object.
    std::atomic<ImUtil *> seen[8];
    QSemaphore start;
    QList<QThread *> threads;
    for (auto &slot : seen) {
        threads << QThread::create([&slot, &start] {
            start.acquire();
            slot = ImUtil::instance();
        });
        threads.last()->start();
    }
    start.release(8);
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(5000));
        delete thread;
    }
    for (auto &slot : seen) {
        QCOMPARE(slot.load(), ImUtil::instance());
    }
}

void TestImClient::initConfigNamesTheServer()
{
    qunsetenv("BRV_IM_SERVER");
    AppSettings::setValue(AppSettingsKey::imServer, QVariant());
    QJsonObject config = ImUtil::initConfig();
    QVERIFY(!config.contains("brv_server"));
    QVERIFY(config.value("sdk_config_log_file_path").toString().endsWith("/log/im"));
    QCOMPARE(config.value("sdk_config_config_file_path"), config.value("sdk_config_log_file_path"));

    AppSettings::setValue(AppSettingsKey::imServer, "xmpp://127.0.0.1:5333/stored");
    QCOMPARE(ImUtil::initConfig().value("brv_server").toString(),
             QStringLiteral("xmpp://127.0.0.1:5333/stored"));
    qputenv("BRV_IM_SERVER", " xmpp://127.0.0.1:5334/run ");
    QCOMPARE(ImUtil::initConfig().value("brv_server").toString(),
             QStringLiteral("xmpp://127.0.0.1:5334/run"));
    qunsetenv("BRV_IM_SERVER");
    AppSettings::setValue(AppSettingsKey::imServer, QVariant());
}

void TestImClient::callbacksNeverReachDestroyedObjects()
{
    std::atomic<int> calls{0};
    // Null user data: nothing happens, on either kind of delivery.
    ImCallback::forwardLogin(0, "", "", nullptr);
    ImCallback::forwardRecvNewMsg("[]", nullptr);
    ImCallback::forwardGroupTips("{}", nullptr);
    ImCallback::forwardKicked(nullptr);

    // Session callbacks from another thread arrive on this one, later.
    auto *probe = new Probe(&calls);
    QThread *sdk = QThread::create([probe] { ImCallback::forwardLogin(0, "ok", "{}", probe); });
    sdk->start();
    QVERIFY(sdk->wait(5000));
    delete sdk;
    QCOMPARE(calls.load(), 0);
    QTRY_COMPARE(calls.load(), 1);

    // Destroyed between the SDK's call and the event loop: dropped.
    ImCallback::forwardLogin(0, "ok", "{}", probe);
    // What the SDK holds: an address, nothing more.
    volatile quintptr address = reinterpret_cast<quintptr>(probe);
    delete probe;
    const auto *stale = reinterpret_cast<const void *>(address);
    QTest::qWait(50);
    QCOMPARE(calls.load(), 1);
    // Destroyed before the SDK calls: dropped at once.
    ImCallback::forwardRecvNewMsg("[]", stale);
    QCOMPARE(calls.load(), 1);

    // A new object at the address of a destroyed one is not handed its predecessor's answers.
    alignas(Probe) unsigned char storage[sizeof(Probe)];
    auto *first = new (storage) Probe(&calls);
    ImCallback::forwardLogin(0, "ok", "{}", first);
    first->~Probe();
    auto *second = new (storage) Probe(&calls);
    QCOMPARE(static_cast<void *>(second), static_cast<void *>(first));
    QTest::qWait(50);
    QCOMPARE(calls.load(), 1);
    ImCallback::forwardRecvNewMsg("[]", second);
    QCOMPARE(calls.load(), 2);
    second->~Probe();
}

void TestImClient::destructionWaitsForRunningCallback()
{
    std::atomic<int> calls{0};
    std::atomic<bool> finished{false};
    auto *probe = new Probe(&calls, &finished);
    QThread *sdk = QThread::create([probe] { ImCallback::forwardRecvNewMsg("hold", probe); });
    sdk->start();
    QVERIFY(probe->inside.tryAcquire(1, 5000));
    // The callback is still running on the SDK's thread: the object outlives it.
    QVERIFY(!finished.load());
    delete probe;
    QVERIFY(finished.load());
    QVERIFY(sdk->wait(5000));
    delete sdk;
    QCOMPARE(calls.load(), 1);

    // An object that destroys itself from inside its own SDK-thread callback does not wait for
    // itself.
    auto *self = new Probe(&calls);
    QThread *own =
        QThread::create([self] { ImCallback::forwardRecvNewMsg("self-destruct", self); });
    own->start();
    QVERIFY2(own->wait(5000), "destruction from inside the callback deadlocked");
    delete own;
    QCOMPARE(calls.load(), 2);
}

void TestImClient::sessionOnEmbeddedSdk()
{
    ImUtil *im = ImUtil::instance();
    QVERIFY(!im->getSDKVersion().isEmpty());
    QCOMPARE(im->init(appId), 0);
    Client client;
    EventLog log(allEvents);
    // Registered first: the embedded mode reports the connection as soon as the login starts.
    im->setNetworkStatusListenerCallback(&client);
    QCOMPARE(im->login(me, userSig(me), &client), 0);
    im->setUserStatusCallback(&client);
    im->setMessageCallback(&client);
    im->setGroupTipsEventCallback(&client);
    QTRY_COMPARE(client.count(client.logins), 1);
    const Client::Result login = client.take(client.logins).at(0);
    QCOMPARE(login.code, 0);
    // Session answers are carried to the GUI thread.
    QCOMPARE(login.thread, QThread::currentThread());
    // The connection's status arrives on the GUI thread too.
    QTRY_VERIFY(client.count(client.network) >= 1);
    const Client::Result connected = client.take(client.network).last();
    QCOMPARE(connected.json, QStringLiteral("0"));
    QCOMPARE(connected.thread, QThread::currentThread());

    QCOMPARE(im->joinGroup(classId, &client), 0);
    QTRY_COMPARE(client.count(client.joins), 1);
    QCOMPARE(im->joinGroup(classId, &client), 0);
    QTRY_COMPARE(client.count(client.joins), 2);
    QCOMPARE(client.take(client.joins).at(0).code, 0);
    const int again = client.take(client.joins).at(1).code;
    QCOMPARE(again, ImAlreadyGroupMember);
    QVERIFY(!isImError(again));

    // A chat line through the send task: what went out is the program's wire format.
    const QString text = QStringLiteral("同学们好 <&> \"引号\"");
    auto send = [](const QJsonObject &task, ImCallback *cb) {
        QThreadPool::globalInstance()->start(new SendImMsgTask(task, cb), 0);
    };
    send({{"convType", 2}, {"convId", classId}, {"msgType", "chatmsg"}, {"msgData", text}},
         &client);
    QTRY_COMPARE(client.count(client.sends), 1);
    const Client::Result sent = client.take(client.sends).at(0);
    QCOMPARE(sent.code, 0);
    QVERIFY(sent.thread != QThread::currentThread());
    const QJsonObject message = JsonUtil::str2Json(sent.json);
    QCOMPARE(message.value("message_conv_id").toString(), classId);
    QCOMPARE(message.value("message_sender").toString(), me);
    const QJsonArray elems = message.value("message_elem_array").toArray();
    QCOMPARE(elems.size(), 1);
    QCOMPARE(elems.at(0).toObject().value("elem_type").toInt(), 3);
    QCOMPARE(elems.at(0).toObject().value("custom_elem_desc").toString(), ImMsgType::ChatMsg);
    // Sorted, compact, and no "avatarUrl" for a user without one.
    QCOMPARE(elems.at(0).toObject().value("custom_elem_data").toString(),
             compact({{"message", text}, {"nickname", "王老师"}, {"senderId", me}}));

    // A task of an unknown conversation type sends nothing; the request after it is answered by
    // the service account through the receive path.
    const QString requestId = StringUtil::uuid();
    send({{"convType", 3}, {"convId", "admin"}, {"msgType", "ImCommand"}, {"msgData", "{}"}},
         &client);
    send({{"convType", 1},
          {"convId", "admin"},
          {"msgType", ImMsgType::ImCommand},
          {"msgData", QJsonObject{{"command", "GetHistoryChatMsg"},
                                  {"liveId", classId},
                                  {"requestId", requestId}}}},
         &client);
    QTRY_COMPARE(log.events.size(), 1);
    QCOMPARE(client.count(client.sends), 2);
    QCOMPARE(log.events.at(0).first, ImSignal::RemoteImCommand);
    const QJsonObject answer = log.payload(0);
    QCOMPARE(answer.value("sender").toString(), QStringLiteral("admin"));
    const QJsonObject data = answer.value("data").toObject();
    QCOMPARE(data.value("command").toString(), QStringLiteral("HistoryChatMsg"));
    QVERIFY(data.value("fileUrl").toString().contains(requestId));

    // Without a message callback nothing is received; with it again the answers come back.
    im->setMessageCallback(nullptr);
    const int receivedBefore = client.count(client.received);
    const QJsonObject online{
        {"command", "GetOnlineLiveUser"}, {"liveId", classId}, {"requestId", requestId}};
    QCOMPARE(im->sendC2CCommand("admin", ImMsgType::LiveCommand, online, &client), 0);
    QTRY_COMPARE(client.count(client.sends), 3);
    QTest::qWait(300);
    QCOMPARE(client.count(client.received), receivedBefore);
    im->setMessageCallback(&client);
    QCOMPARE(im->sendC2CCommand("admin", ImMsgType::LiveCommand, online, &client), 0);
    QTRY_COMPARE(log.events.size(), 2);
    QCOMPARE(log.events.at(1).first, ImSignal::RemoteLiveCommand);
    QCOMPARE(log.payload(1).value("data").toObject().value("command").toString(),
             QStringLiteral("OnlineLiveUser"));

    // A client destroyed while its send is on the way: the answer is dropped, not delivered into
    // freed memory.
    auto *gone = new Client;
    QCOMPARE(im->sendGroupChatMsg(classId, "bye", gone), 0);
    delete gone;
    QTest::qWait(200);

    QCOMPARE(im->quitGroup(classId, &client), 0);
    QTRY_COMPARE(client.count(client.quits), 1);
    QCOMPARE(im->logout(&client), 0);
    QTRY_COMPARE(client.count(client.logouts), 1);
    QCOMPARE(client.take(client.logouts).at(0).code, 0);
    im->setUserStatusCallback(nullptr);
    im->setNetworkStatusListenerCallback(nullptr);
    im->setMessageCallback(nullptr);
    im->setGroupTipsEventCallback(nullptr);
    QCOMPARE(im->uninit(), 0);
}

void TestImClient::sessionThroughClassServer()
{
    if (QStandardPaths::findExecutable(QStringLiteral("prosody")).isEmpty()) {
        QSKIP("the class server (prosody) is not installed");
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto started = classServers({QStringLiteral("start"), dir.path(), QStringLiteral("im")});
    struct Stop
    {
        QString dir;
        ~Stop() { classServers({QStringLiteral("stop"), dir}); }
    } stop{dir.path()};
    QVERIFY2(started.first, "the class servers did not start");
    const QString assignment =
        started.second.split(QLatin1Char('\n')).filter("BRV_IM_SERVER=").value(0);
    const QString server = assignment.mid(assignment.indexOf(QLatin1Char('=')) + 1);
    QVERIFY2(server.startsWith("xmpp://127.0.0.1:"), qPrintable(started.second));

    // The client layer reaches the server the environment names.
    qputenv("BRV_IM_SERVER", server.toUtf8());
    ImUtil *im = ImUtil::instance();
    QCOMPARE(im->init(appId), 0);
    Client client;
    EventLog log(allEvents);
    im->setNetworkStatusListenerCallback(&client);
    QCOMPARE(im->login(me, userSig(me), &client), 0);
    im->setUserStatusCallback(&client);
    im->setMessageCallback(&client);
    im->setGroupTipsEventCallback(&client);
    QTRY_COMPARE_WITH_TIMEOUT(client.count(client.logins), 1, 15000);
    QCOMPARE(client.take(client.logins).at(0).code, 0);
    QCOMPARE(im->joinGroup(classId, &client), 0);
    QTRY_COMPARE_WITH_TIMEOUT(client.count(client.joins), 1, 15000);
    QVERIFY(!isImError(client.take(client.joins).at(0).code));

    QProcess peer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BRV_IM_SERVER", server);
    env.insert("HOME", dir.filePath("peer-home"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("peer-config"));
    env.insert("XDG_DATA_HOME", dir.filePath("peer-data"));
    peer.setProcessEnvironment(env);
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peer")});
    QVERIFY(peer.waitForStarted(10000));
    struct Reap
    {
        QProcess &p;
        ~Reap()
        {
            if (p.state() != QProcess::NotRunning) {
                p.kill();
                p.waitForFinished(5000);
            }
        }
    } reap{peer};

    // The peer's chat line and command arrive through the server, the SDK and the receive task.
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 2, 20000);
    QCOMPARE(log.names(), (QStringList{ImSignal::RecvLiveChatMsg, ImSignal::RemoteLiveCommand}));
    const QJsonObject line = log.payload(0);
    QCOMPARE(line.value("content").toString(), peerText);
    QCOMPARE(line.value("senderId").toString(), peerId);
    QCOMPARE(line.value("senderName").toString(), QStringLiteral("小明"));
    QCOMPARE(line.value("senderAvatarUrl").toString(), QStringLiteral("avatar/7.png"));
    QCOMPARE(line.value("convId").toString(), classId);
    QVERIFY(line.value("msgSeq").toInt() >= 1);
    const QDateTime sendTime =
        QDateTime::fromString(line.value("sendTime").toString(), "yyyy-MM-dd hh:mm:ss");
    QVERIFY(qAbs(sendTime.toSecsSinceEpoch() - before) < 120);
    const QJsonObject command = log.payload(1);
    QCOMPARE(command.value("sender").toString(), peerId);
    QCOMPARE(command.value("data").toObject(),
             (QJsonObject{{"command", "RaiseHand"}, {"liveId", classId}}));
    QVERIFY(command.value("msgSeq").toInt() > line.value("msgSeq").toInt());

    // The peer leaves: the tip reaches this client on the GUI thread.
    QVERIFY(peer.waitForReadyRead(5000) || peer.canReadLine());
    QCOMPARE(peer.readLine().trimmed(), QByteArray("sent"));
    peer.write("quit\n");
    const auto tipOfType = [&client](int type) {
        for (const Client::Result &tip : client.take(client.tips)) {
            const QJsonObject json = JsonUtil::str2Json(tip.json);
            if (json.value("group_tips_elem_tip_type").toInt() == type) {
                return std::make_pair(tip, json);
            }
        }
        return std::make_pair(Client::Result{-1, QString(), nullptr}, QJsonObject());
    };
    QTRY_VERIFY_WITH_TIMEOUT(tipOfType(2).first.thread, 15000);
    for (const int type : {1, 2}) {
        // The peer's arrival and its leaving, both on the GUI thread.
        const auto tip = tipOfType(type);
        QCOMPARE(tip.first.thread, QThread::currentThread());
        QCOMPARE(tip.second.value("group_tips_elem_group_id").toString(), classId);
        QCOMPARE(tip.second.value("group_tips_elem_op_user").toString(), peerId);
    }
    // waitForFinished() answers false for a process that has already ended.
    QVERIFY(peer.state() == QProcess::NotRunning || peer.waitForFinished(15000));
    QCOMPARE(peer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(peer.exitCode(), 0);

    QCOMPARE(im->quitGroup(classId, &client), 0);
    QTRY_COMPARE_WITH_TIMEOUT(client.count(client.quits), 1, 15000);
    QCOMPARE(im->logout(&client), 0);
    QTRY_COMPARE_WITH_TIMEOUT(client.count(client.logouts), 1, 15000);
    im->setUserStatusCallback(nullptr);
    im->setNetworkStatusListenerCallback(nullptr);
    im->setMessageCallback(nullptr);
    im->setGroupTipsEventCallback(nullptr);
    QCOMPARE(im->uninit(), 0);
    qunsetenv("BRV_IM_SERVER");
}

void TestImClient::cleanupTestCase()
{
    QThreadPool::globalInstance()->waitForDone(5000);
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--peer") == 0) {
        return runPeer(argc, argv);
    }
    // The embedded session must not find a server named by whoever started the suite.
    qunsetenv("BRV_IM_SERVER");
    QCoreApplication app(argc, argv);
    TestImClient test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_imclient.moc"
