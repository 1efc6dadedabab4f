// The IM SDK's behaviour, one suite run against each back end: the embedded mode (the other user
// is a second SDK instance in this process) and a real Prosody started for the run (the other
// user is a second process).
#include "Message.h"
#include "UserSig.h"
#include "brv_im.h"
#include "im/ImPeer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "FileDownloader.h"

namespace {

// What the C interface's callbacks reported, and from which threads.
struct Recorder
{
    QMutex mutex;
    QList<QJsonObject> events;
    QSet<Qt::HANDLE> threads;
    int uninitFromCallback = -1;

    void add(QJsonObject ev)
    {
        QMutexLocker lock(&mutex);
        threads.insert(QThread::currentThreadId());
        events.append(std::move(ev));
    }
    QJsonObject wait(const std::function<bool(const QJsonObject &)> &pred, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        do {
            {
                QMutexLocker lock(&mutex);
                for (int i = 0; i < events.size(); ++i)
                    if (pred(events[i]))
                        return events.takeAt(i);
            }
            QTest::qWait(2);
        } while (t.elapsed() < timeoutMs);
        return {};
    }
    int count(const QString &ev)
    {
        QMutexLocker lock(&mutex);
        int n = 0;
        for (const auto &e : events)
            n += e.value(QStringLiteral("ev")).toString() == ev;
        return n;
    }
    void clear()
    {
        QMutexLocker lock(&mutex);
        events.clear();
    }
};
Recorder rec;

QString str(const char *s)
{
    return QString::fromUtf8(s ? s : "");
}

void onResult(int code, const char *desc, const char *json, const void *ud)
{
    rec.add({{QStringLiteral("ev"), QStringLiteral("result")},
             {QStringLiteral("op"), str(static_cast<const char *>(ud))},
             {QStringLiteral("code"), code},
             {QStringLiteral("desc"), str(desc)},
             {QStringLiteral("json"), str(json)}});
}
void onMsgs(const char *json, const void *)
{
    rec.add({{QStringLiteral("ev"), QStringLiteral("msgs")}, {QStringLiteral("json"), str(json)}});
}
void onMsgsUninit(const char *, const void *)
{
    rec.uninitFromCallback = TIMUninit();
}
void onTips(const char *json, const void *)
{
    rec.add({{QStringLiteral("ev"), QStringLiteral("tips")}, {QStringLiteral("json"), str(json)}});
}
void onKicked(const void *)
{
    rec.add({{QStringLiteral("ev"), QStringLiteral("kicked")}});
}
void onExpired(const void *)
{
    rec.add({{QStringLiteral("ev"), QStringLiteral("expired")}});
}
void onNet(int status, int code, const char *, const void *)
{
    rec.add({{QStringLiteral("ev"), QStringLiteral("net")},
             {QStringLiteral("status"), status},
             {QStringLiteral("code"), code}});
}

std::function<bool(const QJsonObject &)> isResult(const char *op)
{
    return [op](const QJsonObject &e) {
        return e.value(QStringLiteral("ev")).toString() == QLatin1String("result") &&
               e.value(QStringLiteral("op")).toString() == QLatin1String(op);
    };
}
std::function<bool(const QJsonObject &)> isEvent(const char *ev)
{
    return [ev](const QJsonObject &e) {
        return e.value(QStringLiteral("ev")).toString() == QLatin1String(ev);
    };
}
// Messages of a "msgs" event, as objects.
QList<QJsonObject> messagesOf(const QJsonObject &ev)
{
    QList<QJsonObject> out;
    const QJsonArray arr =
        QJsonDocument::fromJson(ev.value(QStringLiteral("json")).toString().toUtf8()).array();
    for (const auto &v : arr)
        out.append(v.toObject());
    return out;
}

QString sign(const QString &user, int seconds, const std::string &key = brvim::demoUserSigKey())
{
    return QString::fromStdString(
        brvim::signUserSig(user.toStdString(), seconds, key, brvim::nowSeconds()));
}

QByteArray customMessage(const QString &desc, const QString &data)
{
    const QJsonObject elem{{QStringLiteral("elem_type"), 3},
                           {QStringLiteral("custom_elem_desc"), desc},
                           {QStringLiteral("custom_elem_data"), data}};
    return QJsonDocument(QJsonObject{{QStringLiteral("message_elem_array"), QJsonArray{elem}},
                                     {QStringLiteral("message_client_time"), 1700000000123.0}})
        .toJson(QJsonDocument::Compact);
}

// Chinese, XML and JSON specials, a four-byte character: the text a class actually sends.
QString awkwardText(int bytes)
{
    const QString unit = QStringLiteral("课堂\"<白板>&'\\ 🎓 答题;");
    QString s;
    while (s.toUtf8().size() + unit.toUtf8().size() <= bytes)
        s += unit;
    while (s.toUtf8().size() < bytes)
        s += QLatin1Char('x');
    return s;
}

QString uniqueName(const char *prefix)
{
    return QString::fromLatin1(prefix) + QString::number(QRandomGenerator::global()->generate());
}

} // namespace

class ImSdkSuite : public QObject
{
    Q_OBJECT

protected:
    virtual QByteArray config() const = 0;
    virtual std::unique_ptr<Peer> newPeer() = 0;
    // The server mode can stop and start its server; the embedded mode has none.
    virtual bool stopServer() { return false; }
    virtual bool startServer() { return false; }

    std::unique_ptr<Peer> m_peer;
    QString m_alice, m_bob, m_group;

    void initMain()
    {
        QCOMPARE(TIMInit(1400000001, config().constData()), int(TIM_SUCC));
        TIMAddRecvNewMsgCallback(onMsgs, nullptr);
        TIMSetGroupTipsEventCallback(onTips, nullptr);
        TIMSetKickedOfflineCallback(onKicked, nullptr);
        TIMSetUserSigExpiredCallback(onExpired, nullptr);
        TIMSetNetworkStatusListenerCallback(onNet, nullptr);
    }
    void loginMain(const QString &user)
    {
        QCOMPARE(TIMLogin(user.toUtf8().constData(), sign(user, 600).toUtf8().constData(), onResult,
                          "login"),
                 int(TIM_SUCC));
        const QJsonObject r = rec.wait(isResult("login"), 10000);
        QCOMPARE(r.value(QStringLiteral("code")).toInt(-1), 0);
    }
    void joinMain(const QString &group, int expected = TIM_SUCC)
    {
        QCOMPARE(TIMGroupJoin(group.toUtf8().constData(), "Hello", onResult, "join"),
                 int(TIM_SUCC));
        QCOMPARE(rec.wait(isResult("join"), 10000).value(QStringLiteral("code")).toInt(-1),
                 expected);
    }
    int peerCall(const QJsonObject &cmd)
    {
        return m_peer->call(cmd).value(QStringLiteral("code")).toInt(-1);
    }
    int peerResult(const char *op)
    {
        return m_peer->waitEvent(isResult(op), 10000).value(QStringLiteral("code")).toInt(-1);
    }
    void peerLoginJoin(const QString &user, const QString &group)
    {
        QCOMPARE(peerCall({{QStringLiteral("op"), QStringLiteral("login")},
                           {QStringLiteral("user"), user},
                           {QStringLiteral("sig"), sign(user, 600)}}),
                 0);
        QCOMPARE(peerResult("login"), 0);
        QCOMPARE(peerCall({{QStringLiteral("op"), QStringLiteral("join")},
                           {QStringLiteral("group"), group}}),
                 0);
        QCOMPARE(peerResult("join"), 0);
    }
    int peerSend(const QString &conv, int type, const QByteArray &msg)
    {
        return peerCall({{QStringLiteral("op"), QStringLiteral("send")},
                         {QStringLiteral("conv"), conv},
                         {QStringLiteral("type"), type},
                         {QStringLiteral("msg"), QString::fromUtf8(msg)}});
    }
    // Waits for n messages at the main user; empty list on time-out.
    QList<QJsonObject> mainMessages(int n, int timeoutMs = 10000)
    {
        QList<QJsonObject> out;
        QElapsedTimer t;
        t.start();
        while (out.size() < n && t.elapsed() < timeoutMs) {
            const QJsonObject ev = rec.wait(isEvent("msgs"), 50);
            if (!ev.isEmpty())
                out += messagesOf(ev);
        }
        return out;
    }
    QList<QJsonObject> peerMessages(int n, int timeoutMs = 10000)
    {
        QList<QJsonObject> out;
        QElapsedTimer t;
        t.start();
        while (out.size() < n && t.elapsed() < timeoutMs) {
            const QJsonObject ev = m_peer->waitEvent(isEvent("msgs"), 50);
            if (!ev.isEmpty())
                out += messagesOf(ev);
        }
        return out;
    }

private slots:
    void init()
    {
        rec.clear();
        rec.uninitFromCallback = -1;
        m_alice = uniqueName("Alice.王 ");
        m_bob = uniqueName("bob");
        m_group = uniqueName("Class_1/");
        m_peer = newPeer();
        QCOMPARE(peerCall({{QStringLiteral("op"), QStringLiteral("init")},
                           {QStringLiteral("config"), QString::fromUtf8(config())}}),
                 0);
        initMain();
    }
    void cleanup()
    {
        m_peer.reset();
        TIMUninit();
    }

    void exchangeGroupAndDirectMessages()
    {
        loginMain(m_alice);
        joinMain(m_group);
        // Joining twice answers "already a member", which callers count as success.
        joinMain(m_group, TIM_ERR_ALREADY_MEMBER);
        peerLoginJoin(m_bob, m_group);

        const QString small = QStringLiteral("{\"message\":\"同学们好 <b>&amp;</b> \\\"hi\\\"\"}");
        const QString large = awkwardText(TIM_MAX_MSG_BYTES - 16);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        char id[TIM_MSG_ID_BUF_SIZE];
        QCOMPARE(TIMMsgSendMessage(m_group.toUtf8().constData(), TIM_CONV_GROUP,
                                   customMessage(QStringLiteral("ChatMsg"), small).constData(), id,
                                   onResult, "send"),
                 int(TIM_SUCC));
        const QString firstId = QString::fromLatin1(id);
        QVERIFY(!firstId.isEmpty());
        QCOMPARE(TIMMsgSendMessage(m_group.toUtf8().constData(), TIM_CONV_GROUP,
                                   customMessage(QStringLiteral("BoardCommand"), large).constData(),
                                   id, onResult, "send"),
                 int(TIM_SUCC));
        const QJsonObject sent = rec.wait(isResult("send"), 10000);
        QCOMPARE(sent.value(QStringLiteral("code")).toInt(-1), 0);
        QCOMPARE(rec.wait(isResult("send"), 10000).value(QStringLiteral("code")).toInt(-1), 0);

        const QList<QJsonObject> got = peerMessages(2);
        QCOMPARE(got.size(), 2);
        const QJsonObject m = got[0];
        QCOMPARE(m.value(QStringLiteral("message_conv_id")).toString(), m_group);
        QCOMPARE(m.value(QStringLiteral("message_conv_type")).toInt(), 2);
        QCOMPARE(m.value(QStringLiteral("message_sender")).toString(), m_alice);
        QCOMPARE(m.value(QStringLiteral("message_msg_id")).toString(), firstId);
        QCOMPARE(m.value(QStringLiteral("message_client_time")).toDouble(), 1700000000123.0);
        const qint64 serverTime = qint64(m.value(QStringLiteral("message_server_time")).toDouble());
        QVERIFY(serverTime >= before && serverTime <= QDateTime::currentSecsSinceEpoch() + 1);
        const double rand = m.value(QStringLiteral("message_rand")).toDouble(-1);
        QVERIFY(rand >= 0 && rand <= 2147483647.0);
        const QJsonObject elem =
            m.value(QStringLiteral("message_elem_array")).toArray()[0].toObject();
        QCOMPARE(elem.value(QStringLiteral("elem_type")).toInt(), 3);
        QCOMPARE(elem.value(QStringLiteral("custom_elem_desc")).toString(),
                 QStringLiteral("ChatMsg"));
        QCOMPARE(elem.value(QStringLiteral("custom_elem_data")).toString().toUtf8(),
                 small.toUtf8());
        const QJsonObject big =
            got[1].value(QStringLiteral("message_elem_array")).toArray()[0].toObject();
        QCOMPARE(big.value(QStringLiteral("custom_elem_data")).toString().toUtf8(), large.toUtf8());
        // The server numbers the conversation's messages in order.
        QVERIFY(got[1].value(QStringLiteral("message_seq")).toDouble() >
                m.value(QStringLiteral("message_seq")).toDouble());
        QVERIFY(m.value(QStringLiteral("message_seq")).toDouble() >= 1);
        // The sender is not given its own group message.
        QCOMPARE(rec.count(QStringLiteral("msgs")), 0);

        // One-to-one the other way, near the size limit.
        const QString direct = awkwardText(TIM_MAX_MSG_BYTES - 9);
        QCOMPARE(
            peerSend(m_alice, TIM_CONV_C2C, customMessage(QStringLiteral("ImCommand"), direct)), 0);
        QCOMPARE(peerResult("send"), 0);
        const QList<QJsonObject> mine = mainMessages(1);
        QCOMPARE(mine.size(), 1);
        QCOMPARE(mine[0].value(QStringLiteral("message_conv_id")).toString(), m_bob);
        QCOMPARE(mine[0].value(QStringLiteral("message_conv_type")).toInt(), 1);
        QCOMPARE(mine[0].value(QStringLiteral("message_sender")).toString(), m_bob);
        const QJsonObject d =
            mine[0].value(QStringLiteral("message_elem_array")).toArray()[0].toObject();
        QCOMPARE(d.value(QStringLiteral("custom_elem_desc")).toString(),
                 QStringLiteral("ImCommand"));
        QCOMPARE(d.value(QStringLiteral("custom_elem_data")).toString().toUtf8(), direct.toUtf8());

        // One byte over the limit is refused at once, and nothing is sent.
        QCOMPARE(TIMMsgSendMessage(
                     m_group.toUtf8().constData(), TIM_CONV_GROUP,
                     customMessage(QStringLiteral("ChatMsg"), awkwardText(TIM_MAX_MSG_BYTES - 6))
                         .constData(),
                     id, onResult, "send"),
                 int(TIM_ERR_MSG_TOO_LARGE));
        QCOMPARE(TIMMsgSendMessage(m_group.toUtf8().constData(), TIM_CONV_GROUP, "{not json", id,
                                   onResult, "send"),
                 int(TIM_ERR_PARAM));
        QVERIFY(peerMessages(1, 300).isEmpty());

        // Every callback came from the SDK's thread.
        QMutexLocker lock(&rec.mutex);
        QVERIFY(!rec.threads.contains(QThread::currentThreadId()));
    }

    void tipsWhenAMemberLeaves()
    {
        loginMain(m_alice);
        joinMain(m_group);
        peerLoginJoin(m_bob, m_group);
        QCOMPARE(peerCall({{QStringLiteral("op"), QStringLiteral("quit")},
                           {QStringLiteral("group"), m_group}}),
                 0);
        QCOMPARE(peerResult("quit"), 0);
        const auto isQuit = [this](const QJsonObject &e) {
            if (e.value(QStringLiteral("ev")).toString() != QLatin1String("tips"))
                return false;
            const QJsonObject t =
                QJsonDocument::fromJson(e.value(QStringLiteral("json")).toString().toUtf8())
                    .object();
            return t.value(QStringLiteral("group_tips_elem_tip_type")).toInt() ==
                       TIM_GROUP_TIP_QUIT &&
                   t.value(QStringLiteral("group_tips_elem_group_id")).toString() == m_group &&
                   t.value(QStringLiteral("group_tips_elem_op_user")).toString() == m_bob;
        };
        QVERIFY(!rec.wait(isQuit, 10000).isEmpty());
        // A member who left gets no more of the group's messages; sending there is refused.
        QCOMPARE(peerSend(m_group, TIM_CONV_GROUP,
                          customMessage(QStringLiteral("ChatMsg"), QStringLiteral("{}"))),
                 0);
        QCOMPARE(peerResult("send"), int(TIM_ERR_NOT_GROUP_MEMBER));
        QCOMPARE(TIMGroupQuit(m_group.toUtf8().constData(), onResult, "quit"), int(TIM_SUCC));
        QCOMPARE(rec.wait(isResult("quit"), 10000).value(QStringLiteral("code")).toInt(-1), 0);
    }

    void kickedOfflineBySecondSignIn()
    {
        loginMain(m_alice);
        QCOMPARE(peerCall({{QStringLiteral("op"), QStringLiteral("login")},
                           {QStringLiteral("user"), m_alice},
                           {QStringLiteral("sig"), sign(m_alice, 600)}}),
                 0);
        QCOMPARE(peerResult("login"), 0);
        QVERIFY(!rec.wait(isEvent("kicked"), 10000).isEmpty());
        QCOMPARE(TIMGroupJoin(m_group.toUtf8().constData(), nullptr, onResult, "join"),
                 int(TIM_ERR_NOT_LOGGED_IN));
        // The new session is unharmed.
        QCOMPARE(peerCall({{QStringLiteral("op"), QStringLiteral("join")},
                           {QStringLiteral("group"), m_group}}),
                 0);
        QCOMPARE(peerResult("join"), 0);
        QVERIFY(m_peer->waitEvent(isEvent("kicked"), 300).isEmpty());
    }

    void forgedAndExpiredSignaturesRefused()
    {
        const QByteArray user = m_alice.toUtf8();
        QCOMPARE(TIMLogin(user.constData(), sign(m_alice, 600, "another key").toUtf8().constData(),
                          onResult, "login"),
                 int(TIM_SUCC));
        QCOMPARE(rec.wait(isResult("login"), 10000).value(QStringLiteral("code")).toInt(-1),
                 int(TIM_ERR_USERSIG_INVALID));
        // A good signature of someone else.
        QCOMPARE(
            TIMLogin(user.constData(), sign(m_bob, 600).toUtf8().constData(), onResult, "login"),
            int(TIM_SUCC));
        QCOMPARE(rec.wait(isResult("login"), 10000).value(QStringLiteral("code")).toInt(-1),
                 int(TIM_ERR_USERSIG_INVALID));
        QCOMPARE(
            TIMLogin(user.constData(), sign(m_alice, -5).toUtf8().constData(), onResult, "login"),
            int(TIM_SUCC));
        QCOMPARE(rec.wait(isResult("login"), 10000).value(QStringLiteral("code")).toInt(-1),
                 int(TIM_ERR_USERSIG_EXPIRED));
        // A signature that runs out during the session ends it.
        QCOMPARE(
            TIMLogin(user.constData(), sign(m_alice, 2).toUtf8().constData(), onResult, "login"),
            int(TIM_SUCC));
        QCOMPARE(rec.wait(isResult("login"), 10000).value(QStringLiteral("code")).toInt(-1), 0);
        QVERIFY(!rec.wait(isEvent("expired"), 6000).isEmpty());
        QCOMPARE(TIMGroupJoin(m_group.toUtf8().constData(), nullptr, onResult, "join"),
                 int(TIM_ERR_NOT_LOGGED_IN));
    }

    void adminAnswersWithReadableFiles()
    {
        loginMain(m_alice);
        joinMain(m_group);
        peerLoginJoin(m_bob, m_group);
        const QString line = QStringLiteral("{\"message\":\"历史消息\"}");
        QCOMPARE(peerSend(m_group, TIM_CONV_GROUP, customMessage(QStringLiteral("ChatMsg"), line)),
                 0);
        QCOMPARE(peerResult("send"), 0);
        QCOMPARE(mainMessages(1).size(), 1);

        struct Ask
        {
            const char *command, *desc, *answer;
        };
        for (const Ask &ask : {Ask{"GetHistoryChatMsg", "ImCommand", "HistoryChatMsg"},
                               Ask{"GetOnlineLiveUser", "LiveCommand", "OnlineLiveUser"},
                               Ask{"GetHistoryBoardMsg", "BoardCommand", "HistoryBoardMsg"}}) {
            const QString requestId = uniqueName("req");
            const QJsonObject cmd{{QStringLiteral("command"), QLatin1String(ask.command)},
                                  {QStringLiteral("liveId"), m_group},
                                  {QStringLiteral("requestId"), requestId}};
            QCOMPARE(TIMMsgSendMessage("admin", TIM_CONV_C2C,
                                       customMessage(QLatin1String(ask.desc),
                                                     QString::fromUtf8(QJsonDocument(cmd).toJson(
                                                         QJsonDocument::Compact)))
                                           .constData(),
                                       nullptr, nullptr, nullptr),
                     int(TIM_SUCC));
            const QList<QJsonObject> answer = mainMessages(1);
            QCOMPARE(answer.size(), 1);
            QCOMPARE(answer[0].value(QStringLiteral("message_sender")).toString(),
                     QStringLiteral("admin"));
            const QJsonObject elem =
                answer[0].value(QStringLiteral("message_elem_array")).toArray()[0].toObject();
            QCOMPARE(elem.value(QStringLiteral("custom_elem_desc")).toString(),
                     QLatin1String(ask.desc));
            const QJsonObject data =
                QJsonDocument::fromJson(
                    elem.value(QStringLiteral("custom_elem_data")).toString().toUtf8())
                    .object();
            QCOMPARE(data.value(QStringLiteral("command")).toString(), QLatin1String(ask.answer));
            QCOMPARE(data.value(QStringLiteral("liveId")).toString(), m_group);
            const QString url = data.value(QStringLiteral("fileUrl")).toString();
            QVERIFY2(url.contains(requestId), qPrintable(url));
            QVERIFY(url.startsWith(QLatin1String("http://127.0.0.1:")));

            // The client's own downloader reads it.
            FileDownloader downloader;
            QSignalSpy done(&downloader, &FileDownloader::finished);
            downloader.download(url);
            QVERIFY(done.wait(10000));
            QCOMPARE(done.first().first().toInt(), 0);
            const QJsonArray file = QJsonDocument::fromJson(downloader.data()).array();
            if (QLatin1String(ask.answer) == QLatin1String("HistoryChatMsg")) {
                QCOMPARE(file.size(), 1);
                QCOMPARE(file[0].toObject().value(QStringLiteral("data")).toString(), line);
                QCOMPARE(file[0].toObject().value(QStringLiteral("sender")).toString(), m_bob);
            } else if (QLatin1String(ask.answer) == QLatin1String("OnlineLiveUser")) {
                QStringList users;
                for (const auto &u : file)
                    users << u.toObject().value(QStringLiteral("userId")).toString();
                users.sort();
                QCOMPARE(users, QStringList({m_alice, m_bob}));
            } else {
                QVERIFY(file.isEmpty());
            }
            // A page of another origin may read it too.
            QNetworkAccessManager nam;
            QNetworkRequest req{QUrl(url)};
            req.setRawHeader("Origin", "brimvale-demo://service");
            std::unique_ptr<QNetworkReply> reply(nam.get(req));
            QSignalSpy finished(reply.get(), &QNetworkReply::finished);
            QVERIFY(finished.wait(10000));
            QCOMPARE(reply->rawHeader("Access-Control-Allow-Origin"), QByteArray("*"));
        }
    }

    void noCallbackAfterRemovalOrUninit()
    {
        loginMain(m_alice);
        peerLoginJoin(m_bob, m_group);
        const QByteArray hello = customMessage(QStringLiteral("ChatMsg"), QStringLiteral("{}"));
        TIMRemoveRecvNewMsgCallback(onMsgs);
        QCOMPARE(peerSend(m_alice, TIM_CONV_C2C, hello), 0);
        QCOMPARE(peerResult("send"), 0);
        QVERIFY(mainMessages(1, 500).isEmpty());
        // Back again, it hears the next one: the silence above was the removal.
        TIMAddRecvNewMsgCallback(onMsgs, nullptr);
        QCOMPARE(peerSend(m_alice, TIM_CONV_C2C, hello), 0);
        QCOMPARE(mainMessages(1).size(), 1);

        // Uninit from inside a callback is refused rather than waiting for itself.
        TIMAddRecvNewMsgCallback(onMsgsUninit, nullptr);
        QCOMPARE(peerSend(m_alice, TIM_CONV_C2C, hello), 0);
        QCOMPARE(mainMessages(1).size(), 1);
        QTRY_COMPARE(rec.uninitFromCallback, int(TIM_ERR_IN_CALLBACK));

        QCOMPARE(TIMUninit(), int(TIM_SUCC));
        QCOMPARE(TIMUninit(), int(TIM_ERR_NOT_INIT));
        rec.clear();
        QCOMPARE(peerSend(m_alice, TIM_CONV_C2C, hello), 0);
        QCOMPARE(peerResult("send"), 0);
        QTest::qWait(300);
        QCOMPARE(rec.count(QStringLiteral("msgs")), 0);
        QCOMPARE(TIMLogin("x", "y", onResult, "login"), int(TIM_ERR_NOT_INIT));
    }

    void directMessageWaitsForAnAbsentUser()
    {
        loginMain(m_alice);
        const QString text = QStringLiteral("{\"command\":\"RaiseHand\",\"note\":\"请回答\"}");
        QCOMPARE(TIMMsgSendMessage(m_bob.toUtf8().constData(), TIM_CONV_C2C,
                                   customMessage(QStringLiteral("LiveCommand"), text).constData(),
                                   nullptr, onResult, "send"),
                 int(TIM_SUCC));
        QCOMPARE(rec.wait(isResult("send"), 10000).value(QStringLiteral("code")).toInt(-1), 0);
        QCOMPARE(peerCall({{QStringLiteral("op"), QStringLiteral("login")},
                           {QStringLiteral("user"), m_bob},
                           {QStringLiteral("sig"), sign(m_bob, 600)}}),
                 0);
        QCOMPARE(peerResult("login"), 0);
        const QList<QJsonObject> got = peerMessages(1);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].value(QStringLiteral("message_sender")).toString(), m_alice);
        QCOMPARE(got[0].value(QStringLiteral("message_conv_id")).toString(), m_alice);
        QCOMPARE(got[0]
                     .value(QStringLiteral("message_elem_array"))
                     .toArray()[0]
                     .toObject()
                     .value(QStringLiteral("custom_elem_data"))
                     .toString(),
                 text);
        QVERIFY(peerMessages(1, 300).isEmpty());
    }

    void reconnectsWithoutLossOrDoubles()
    {
        loginMain(m_alice);
        joinMain(m_group);
        peerLoginJoin(m_bob, m_group);
        if (!stopServer())
            QSKIP("the embedded mode has no server to lose");
        const auto isNet = [](int status) {
            return [status](const QJsonObject &e) {
                return e.value(QStringLiteral("ev")).toString() == QLatin1String("net") &&
                       e.value(QStringLiteral("status")).toInt(-1) == status;
            };
        };
        QVERIFY(!rec.wait(isNet(TIM_NET_DISCONNECTED), 10000).isEmpty());
        // Sent while the server is away: kept and delivered once it is back.
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(TIMMsgSendMessage(
                         m_group.toUtf8().constData(), TIM_CONV_GROUP,
                         customMessage(QStringLiteral("ChatMsg"), QStringLiteral("away %1").arg(i))
                             .constData(),
                         nullptr, onResult, "send"),
                     int(TIM_SUCC));
        }
        QVERIFY(startServer());
        rec.clear();
        QVERIFY(!rec.wait(isNet(TIM_NET_CONNECTED), 15000).isEmpty());
        for (int i = 0; i < 5; ++i)
            QCOMPARE(rec.wait(isResult("send"), 10000).value(QStringLiteral("code")).toInt(-1), 0);
        // The other side: once its own rejoin is done, it sends a few and hears all of ours.
        QVERIFY(!m_peer
                     ->waitEvent(
                         [](const QJsonObject &e) {
                             return e.value(QStringLiteral("ev")).toString() ==
                                        QLatin1String("net") &&
                                    e.value(QStringLiteral("status")).toInt(-1) == 0;
                         },
                         15000)
                     .isEmpty());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(peerSend(m_group, TIM_CONV_GROUP,
                              customMessage(QStringLiteral("ChatMsg"),
                                            QStringLiteral("back %1").arg(i))),
                     0);
        const QList<QJsonObject> theirs = peerMessages(5);
        QCOMPARE(theirs.size(), 5);
        for (int i = 0; i < 5; ++i) {
            const QJsonObject e =
                theirs[i].value(QStringLiteral("message_elem_array")).toArray()[0].toObject();
            QCOMPARE(e.value(QStringLiteral("custom_elem_data")).toString(),
                     QStringLiteral("away %1").arg(i));
        }
        const QList<QJsonObject> mine = mainMessages(3);
        QCOMPARE(mine.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject e =
                mine[i].value(QStringLiteral("message_elem_array")).toArray()[0].toObject();
            QCOMPARE(e.value(QStringLiteral("custom_elem_data")).toString(),
                     QStringLiteral("back %1").arg(i));
        }
        // Nothing doubled.
        QVERIFY(peerMessages(1, 500).isEmpty());
        QVERIFY(mainMessages(1, 100).isEmpty());
    }
};

// A Prosody of the class servers' configuration on a private port and folder.
class ServerImSdkTest : public ImSdkSuite
{
    Q_OBJECT
protected:
    QByteArray config() const override
    {
        return QJsonDocument(QJsonObject{{QStringLiteral("brv_server"), m_address}})
            .toJson(QJsonDocument::Compact);
    }
    std::unique_ptr<Peer> newPeer() override { return std::make_unique<ChildProcessPeer>(); }
    bool stopServer() override { return script({QStringLiteral("stop"), m_dir.path()}).first; }
    bool startServer() override
    {
        const auto r = script({QStringLiteral("start"), m_dir.path(), QStringLiteral("im")});
        if (r.first && r.second.startsWith(QLatin1String("BRV_IM_SERVER=")))
            m_address = r.second.mid(14);
        return r.first;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(startServer(), "the class server did not start");
    }
    void cleanupTestCase() { stopServer(); }

private:
    static std::pair<bool, QString> script(const QStringList &args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral(BRV_TEST_SOURCE_DIR "/scripts/class-servers.sh"), args);
        if (!p.waitForFinished(30000))
            return {false, {}};
        return {p.exitCode() == 0, QString::fromUtf8(p.readAllStandardOutput()).trimmed()};
    }
    QTemporaryDir m_dir;
    QString m_address;
};

class EmbeddedImSdkTest : public ImSdkSuite
{
    Q_OBJECT
protected:
    QByteArray config() const override { return "{}"; }
    std::unique_ptr<Peer> newPeer() override { return std::make_unique<InProcessPeer>(); }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--im-peer") == 0)
        return runPeerProcess(argc, argv);
    qunsetenv("BRV_IM_SERVER");
    QCoreApplication app(argc, argv);
    int rc = 0;
    {
        EmbeddedImSdkTest embedded;
        rc |= QTest::qExec(&embedded, argc, argv);
    }
    {
        ServerImSdkTest server;
        rc |= QTest::qExec(&server, argc, argv);
    }
    return rc;
}

#include "tst_imsdk.moc"
