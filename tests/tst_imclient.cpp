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

#include <QJsonDocument>
#include <QMutex>
#include <QSemaphore>
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
    QList<Result> logins, logouts, joins, quits, sends, received, network;

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

class TestImClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void chatLinesReachOnlyThisClass();
    void commandsArePublishedInEnvelopes();
    void hostileMessagesReadAsEmpty();
    void facadeHelpers();
    void initConfigNamesTheServer();
    void callbacksNeverReachDestroyedObjects();
    void destructionWaitsForRunningCallback();
    void sessionOnEmbeddedSdk();
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

void TestImClient::cleanupTestCase()
{
    QThreadPool::globalInstance()->waitForDone(5000);
}

QTEST_MAIN(TestImClient)
#include "tst_imclient.moc"
