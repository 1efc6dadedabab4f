// Rooms of the audio/video SDK. One behaviour suite, run against the room of one (no server)
// and, inside a private network namespace, against the class's media server (Janus), where the
// other participant is a process of its own. The hostile-server cases use a fake server on
// loopback and run in both.
#include "AvPeer.h"
#include "PulseServer.h"
#include "WindowPixels.h"

#include <brv_av.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QNetworkRequest>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QWidget>

#include <csignal>
#include <functional>
#include <memory>

using namespace liteav;

namespace {

struct Event
{
    QString name;
    QString user;
    qint64 a = 0;
    qint64 b = 0;
    Qt::HANDLE thread = nullptr;
};

// Records every room event with the thread it came on.
class Sink : public ITRTCCloudCallback
{
public:
    QList<Event> events() const
    {
        QMutexLocker lock(&m_mutex);
        return m_events;
    }
    QList<Event> named(const QString &name, const QString &user = {}) const
    {
        QList<Event> out;
        for (const Event &e : events()) {
            if (e.name == name && (user.isEmpty() || e.user == user))
                out << e;
        }
        return out;
    }
    bool waitFor(const QString &name, const QString &user = {}, int count = 1, int ms = 10000) const
    {
        return QTest::qWaitFor([&] { return named(name, user).size() >= count; }, ms);
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_events.clear();
    }
    // What happened, for a failure's message.
    QString journal() const
    {
        QStringList lines;
        for (const Event &e : events())
            lines << QStringLiteral("%1(%2, %3, %4)").arg(e.name, e.user).arg(e.a).arg(e.b);
        return lines.join(QLatin1Char(' '));
    }

    void onError(TXLiteAVError code, const char *msg, void *) override
    {
        add("onError", msg, code);
    }
    void onWarning(TXLiteAVWarning code, const char *msg, void *) override
    {
        add("onWarning", msg, code);
    }
    void onEnterRoom(int result) override { add("onEnterRoom", nullptr, result); }
    void onExitRoom(int reason) override { add("onExitRoom", nullptr, reason); }
    void onRemoteUserEnterRoom(const char *u) override { add("onRemoteUserEnterRoom", u); }
    void onRemoteUserLeaveRoom(const char *u, int r) override
    {
        add("onRemoteUserLeaveRoom", u, r);
    }
    void onUserVideoAvailable(const char *u, bool a) override { add("onUserVideoAvailable", u, a); }
    void onUserSubStreamAvailable(const char *u, bool a) override
    {
        add("onUserSubStreamAvailable", u, a);
    }
    void onUserAudioAvailable(const char *u, bool a) override { add("onUserAudioAvailable", u, a); }
    void onFirstVideoFrame(const char *u, const TRTCVideoStreamType t, const int w,
                           const int h) override
    {
        add("onFirstVideoFrame", u, t, qint64(w) * 10000 + h);
    }
    void onFirstAudioFrame(const char *u) override { add("onFirstAudioFrame", u); }
    void onRemoteVideoStatusUpdated(const char *u, TRTCVideoStreamType t, TRTCAVStatusType s,
                                    TRTCAVStatusChangeReason, void *) override
    {
        add("onRemoteVideoStatusUpdated", u, t, s);
    }
    void onNetworkQuality(TRTCQualityInfo local, TRTCQualityInfo *remote, uint32_t n) override
    {
        add("onNetworkQuality", n ? remote[0].userId : "", local.quality,
            n ? remote[0].quality : -1);
    }
    void onConnectionLost() override { add("onConnectionLost"); }
    void onTryToReconnect() override { add("onTryToReconnect"); }
    void onConnectionRecovery() override { add("onConnectionRecovery"); }

private:
    void add(const QString &name, const char *user = nullptr, qint64 a = 0, qint64 b = 0)
    {
        QMutexLocker lock(&m_mutex);
        m_events << Event{name, QString::fromUtf8(user ? user : ""), a, b,
                          QThread::currentThreadId()};
    }
    mutable QMutex m_mutex;
    QList<Event> m_events;
};

std::unique_ptr<QWidget> videoWindow(int x)
{
    auto widget = std::make_unique<QWidget>();
    widget->setAttribute(Qt::WA_NativeWindow);
    widget->setStyleSheet("background-color: rgb(0, 0, 0);");
    widget->resize(320, 180);
    widget->move(x, 20);
    widget->show();
    if (!QTest::qWaitForWindowExposed(widget.get()))
        qWarning("video window not exposed");
    return widget;
}

TXView viewOf(QWidget *w)
{
    return reinterpret_cast<TXView>(w->winId());
}

QString runScript(const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(BRV_TEST_SOURCE_DIR "/scripts/class-servers.sh"), args);
    p.waitForFinished(30000);
    if (exitCode)
        *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void setServer(ITRTCCloud *cloud, const QString &url)
{
    const QByteArray call =
        QJsonDocument(QJsonObject{{"api", "setServer"}, {"params", QJsonObject{{"url", url}}}})
            .toJson(QJsonDocument::Compact);
    cloud->callExperimentalAPI(call.constData());
}

void enter(ITRTCCloud *cloud, const QString &user, uint32_t room, const QString &sig)
{
    const QByteArray u = user.toUtf8();
    const QByteArray s = sig.toUtf8();
    TRTCParams params;
    params.userId = u.constData();
    params.userSig = s.constData();
    params.roomId = room;
    cloud->enterRoom(params, TRTCAppSceneLIVE);
}

// A stand-in for a media server that answers badly: it speaks WebSocket on loopback and plays
// the part the test gives it, one reply per request.
class FakeServer : public QObject
{
public:
    std::function<void(QWebSocket *, const QJsonObject &)> onRequest;
    bool listen()
    {
        connect(&m_server, &QWebSocketServer::newConnection, this, [this] {
            QWebSocket *socket = m_server.nextPendingConnection();
            socket->setParent(this);
            connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](QString text) {
                ++requests;
                if (onRequest)
                    onRequest(socket, QJsonDocument::fromJson(text.toUtf8()).object());
            });
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString url() const { return QStringLiteral("ws://127.0.0.1:%1/").arg(m_server.serverPort()); }
    int requests = 0;

private:
    QWebSocketServer m_server{QStringLiteral("fake"), QWebSocketServer::NonSecureMode};
};

QJsonObject success(const QJsonObject &request, qint64 id)
{
    return {{"janus", "success"},
            {"transaction", request.value("transaction")},
            {"data", QJsonObject{{"id", id}}}};
}

void reply(QWebSocket *socket, const QJsonObject &message)
{
    socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson()));
}

// A moderator's connection to the media server, as a service's back office would hold one:
// plain Janus API requests, each answered before the next.
class JanusClient
{
public:
    JanusClient(const QString &url, const QString &token) : m_token(token)
    {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &t) {
            m_inbox << QJsonDocument::fromJson(t.toUtf8()).object();
        });
        QNetworkRequest request{QUrl(url)};
        request.setRawHeader("Sec-WebSocket-Protocol", "janus-protocol");
        m_socket.open(request);
    }
    QJsonObject call(QJsonObject message)
    {
        const QString transaction = QStringLiteral("m%1").arg(++m_count);
        message.insert("transaction", transaction);
        message.insert("token", m_token);
        if (m_session)
            message.insert("session_id", m_session);
        if (!QTest::qWaitFor([&] { return m_socket.state() == QAbstractSocket::ConnectedState; },
                             5000))
            return {};
        m_socket.sendTextMessage(
            QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
        QJsonObject answer;
        // An empty answer after the wait is the caller's failure to report.
        (void)QTest::qWaitFor(
            [&] {
                for (const QJsonObject &m : m_inbox) {
                    if (m.value("transaction") == transaction && m.value("janus") != "ack")
                        answer = m;
                }
                return !answer.isEmpty();
            },
            5000);
        return answer;
    }
    // A videoroom request on a fresh handle.
    QJsonObject room(const QJsonObject &body)
    {
        if (!m_session)
            m_session = call({{"janus", "create"}}).value("data").toObject().value("id").toDouble();
        if (!m_handle)
            m_handle = call({{"janus", "attach"}, {"plugin", "janus.plugin.videoroom"}})
                           .value("data")
                           .toObject()
                           .value("id")
                           .toDouble();
        return call({{"janus", "message"}, {"handle_id", m_handle}, {"body", body}})
            .value("plugindata")
            .toObject()
            .value("data")
            .toObject();
    }

    QString journal() const
    {
        QStringList lines{m_socket.errorString()};
        for (const QJsonObject &m : m_inbox)
            lines << QString::fromUtf8(QJsonDocument(m).toJson(QJsonDocument::Compact));
        return lines.join(QLatin1Char('\n'));
    }

private:
    QWebSocket m_socket;
    QString m_token;
    QList<QJsonObject> m_inbox;
    int m_count = 0;
    double m_session = 0;
    double m_handle = 0;
};

// The media server's token inside a user signature (the JWT's "janus" claim).
QString janusToken(const QString &sig)
{
    const QByteArray payload =
        QByteArray::fromBase64(sig.section('.', 1, 1).toUtf8(), QByteArray::Base64UrlEncoding);
    return QJsonDocument::fromJson(payload).object().value("janus").toString();
}

} // namespace

class TestAvRoom : public QObject
{
    Q_OBJECT

    bool serverMode() const { return !m_server.isEmpty(); }
    QString sign(const QString &user) { return runScript({"sign", user}); }
    // Peer A, as "teacher-a", enters the room on the media server.
    void peerEnters(AvPeer &a, uint32_t room)
    {
        a.send({{"op", "enter"},
                {"user", "teacher-a"},
                {"room", int(room)},
                {"sig", sign("teacher-a")},
                {"server", m_server}});
    }

    QTemporaryDir m_state;
    QString m_server;
    std::unique_ptr<Sink> m_sink;
    ITRTCCloud *m_cloud = nullptr;

private slots:
    void initTestCase()
    {
        PulseServer::noSoundServer();
        // The server room runs where the test made its own network (see netns-run.sh).
        if (qgetenv("BRV_IN_NETNS") == "1") {
            const QString out = runScript({"start", m_state.path(), "av"});
            const int at = out.indexOf("BRV_AV_SERVER=");
            QVERIFY2(at >= 0, qPrintable(out));
            m_server = out.mid(at + 14).section('\n', 0, 0).trimmed();
        }
    }
    void cleanupTestCase()
    {
        if (serverMode())
            runScript({"stop", m_state.path()});
    }
    void init()
    {
        m_cloud = getTRTCShareInstance();
        m_sink = std::make_unique<Sink>();
        m_cloud->addCallback(m_sink.get());
        setServer(m_cloud, m_server);
    }
    void cleanup()
    {
        m_cloud->removeCallback(m_sink.get());
        destroyTRTCShareInstance();
    }

    // The same promises from both rooms: entering reports the time taken, bad parameters an
    // error code, leaving onExitRoom(0); events come from the SDK's thread.
    void enterAndExit()
    {
        enter(m_cloud, "Teacher 老师", 0, sign("Teacher 老师"));
        QVERIFY(m_sink->waitFor("onEnterRoom"));
        QCOMPARE(m_sink->named("onEnterRoom").value(0).a, qint64(ERR_ROOM_ID_INVALID));
        enter(m_cloud, "", 7, sign("x"));
        QVERIFY(m_sink->waitFor("onEnterRoom", {}, 2));
        QCOMPARE(m_sink->named("onEnterRoom").value(1).a, qint64(ERR_USER_ID_INVALID));

        m_sink->clear();
        enter(m_cloud, "Teacher 老师", 4242, sign("Teacher 老师"));
        QVERIFY(m_sink->waitFor("onEnterRoom"));
        const Event entered = m_sink->named("onEnterRoom").value(0);
        QVERIFY2(entered.a > 0 && entered.a < 10000, qPrintable(QString::number(entered.a)));
        QVERIFY(entered.thread != QThread::currentThreadId());
        m_cloud->exitRoom();
        QVERIFY(m_sink->waitFor("onExitRoom"));
        QCOMPARE(m_sink->named("onExitRoom").value(0).a, qint64(0));
        // Nobody else was there, and nothing more follows a plain exit.
        QTest::qWait(300);
        QVERIFY(m_sink->named("onRemoteUserEnterRoom").isEmpty());
        QVERIFY(m_sink->named("onError").isEmpty());
    }

    // Two participants: A (a process of its own) publishes the virtual camera; B (this process)
    // publishes the virtual microphone. B sees A's picture in its window and A hears B.
    void twoParticipantsSeeAndHearEachOther()
    {
        if (!serverMode())
            QSKIP("a room of one has nobody else in it");
        AvPeer a;
        QVERIFY(a.start(QCoreApplication::applicationFilePath()));
        const uint32_t room = 5101;
        m_cloud->startLocalAudio(TRTCAudioQualityDefault);
        enter(m_cloud, "student-b", room, sign("student-b"));
        QVERIFY(m_sink->waitFor("onEnterRoom"));
        QVERIFY(m_sink->named("onEnterRoom").value(0).a > 0);

        a.send({{"op", "volumes"}, {"ms", 300}});
        a.send({{"op", "camera"}, {"on", true}});
        peerEnters(a, room);
        QVERIFY(m_sink->waitFor("onRemoteUserEnterRoom", "teacher-a"));
        QVERIFY(m_sink->waitFor("onUserVideoAvailable", "teacher-a"));
        QCOMPARE(m_sink->named("onUserVideoAvailable", "teacher-a").value(0).a, qint64(1));

        auto window = videoWindow(20);
        QElapsedTimer shown;
        shown.start();
        m_cloud->startRemoteView("teacher-a", TRTCVideoStreamTypeBig, viewOf(window.get()));
        QVERIFY2(
            QTest::qWaitFor([&] { return smpteBarsSeen(grabNative(window.get())) >= 6; }, 5000),
            qPrintable(m_sink->journal()));
        const qint64 ms = shown.elapsed();
        QVERIFY2(ms <= 2000, qPrintable(QStringLiteral("picture after %1 ms").arg(ms)));
        QVERIFY(m_sink->waitFor("onFirstVideoFrame", "teacher-a"));
        QCOMPARE(m_sink->named("onFirstVideoFrame", "teacher-a").value(0).a,
                 qint64(TRTCVideoStreamTypeBig));

        // A hears B's test tone, and B is told how A's network does.
        const QJsonObject loud = a.waitEvent(
            [](const QJsonObject &e) {
                return e.value("ev") == "onUserVoiceVolume" && e.value("user") == "student-b" &&
                       e.value("a").toInt() > 40;
            },
            8000);
        QVERIFY2(!loud.isEmpty(), "student-b's tone was not heard by teacher-a");
        QVERIFY(m_sink->waitFor("onNetworkQuality", "teacher-a", 1, 6000));

        // A leaves: unavailable first, then gone. A comes back: the view plays again.
        a.send({{"op", "exit"}});
        QVERIFY(m_sink->waitFor("onRemoteUserLeaveRoom", "teacher-a"));
        QCOMPARE(m_sink->named("onUserVideoAvailable", "teacher-a").last().a, qint64(0));
        QCOMPARE(m_sink->named("onUserVideoAvailable", "teacher-a").size(), 2);
        m_sink->clear();
        peerEnters(a, room);
        QVERIFY(m_sink->waitFor("onFirstVideoFrame", "teacher-a"));
        QVERIFY(
            QTest::qWaitFor([&] { return smpteBarsSeen(grabNative(window.get())) >= 6; }, 5000));

        // A dies: B hears of it once, with no repeated callbacks from the server's repeats.
        ::kill(pid_t(a.pid()), SIGKILL);
        QVERIFY(m_sink->waitFor("onRemoteUserLeaveRoom", "teacher-a", 1, 15000));
        QTest::qWait(500);
        QCOMPARE(m_sink->named("onRemoteUserLeaveRoom", "teacher-a").size(), 1);
        QCOMPARE(m_sink->named("onUserVideoAvailable", "teacher-a").size(), 2);
        m_cloud->stopAllRemoteView();
        m_cloud->exitRoom();
        QVERIFY(m_sink->waitFor("onExitRoom"));
        m_cloud->stopLocalAudio();
    }

    void screenShareArrivesOnTheSubStream()
    {
        if (!serverMode())
            QSKIP("a room of one has nobody else in it");
        AvPeer a;
        QVERIFY(a.start(QCoreApplication::applicationFilePath()));
        const uint32_t room = 5102;
        enter(m_cloud, "student-b", room, sign("student-b"));
        QVERIFY(m_sink->waitFor("onEnterRoom"));
        peerEnters(a, room);
        QVERIFY(m_sink->waitFor("onRemoteUserEnterRoom", "teacher-a"));
        QWidget red;
        red.setAttribute(Qt::WA_NativeWindow);
        red.setStyleSheet("background-color: rgb(230, 0, 0);");
        red.setGeometry(0, 300, 800, 600);
        red.show();
        QVERIFY(QTest::qWaitForWindowExposed(&red));
        a.send({{"op", "screen"}, {"on", true}});
        QVERIFY(m_sink->waitFor("onUserSubStreamAvailable", "teacher-a"));
        QCOMPARE(m_sink->named("onUserSubStreamAvailable").value(0).a, qint64(1));
        // A shares a screen, not a camera: no big stream appears.
        QVERIFY(m_sink->named("onUserVideoAvailable", "teacher-a").isEmpty());
        auto window = videoWindow(900);
        QCOMPARE(nonBlackPixels(grabNative(window.get())), 0);
        m_cloud->startRemoteView("teacher-a", TRTCVideoStreamTypeSub, viewOf(window.get()));
        QVERIFY(m_sink->waitFor("onFirstVideoFrame", "teacher-a"));
        QCOMPARE(m_sink->named("onFirstVideoFrame", "teacher-a").value(0).a,
                 qint64(TRTCVideoStreamTypeSub));
        QCOMPARE(m_sink->named("onFirstVideoFrame", "teacher-a").value(0).b,
                 qint64(640 * 10000 + 360));
        // What A's screen shows (a red area that this test puts there) is what B sees.
        auto redCount = [&] {
            const QImage image = grabNative(window.get());
            int n = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb p = image.pixel(x, y);
                    n += qRed(p) > 150 && qGreen(p) < 80 && qBlue(p) < 80;
                }
            }
            return n;
        };
        QVERIFY(QTest::qWaitFor([&] { return redCount() > 320 * 180 / 20; }, 5000));
        a.send({{"op", "screen"}, {"on", false}});
        QVERIFY(m_sink->waitFor("onUserSubStreamAvailable", "teacher-a", 2));
        QCOMPARE(m_sink->named("onUserSubStreamAvailable").value(1).a, qint64(0));
        // A is still there.
        QVERIFY(m_sink->named("onRemoteUserLeaveRoom").isEmpty());
        m_cloud->exitRoom();
        QVERIFY(m_sink->waitFor("onExitRoom"));
    }

    void serverRestartReconnects()
    {
        if (!serverMode())
            QSKIP("no server to restart");
        AvPeer a;
        QVERIFY(a.start(QCoreApplication::applicationFilePath()));
        const uint32_t room = 5103;
        enter(m_cloud, "student-b", room, sign("student-b"));
        QVERIFY(m_sink->waitFor("onEnterRoom"));
        a.send({{"op", "camera"}, {"on", true}});
        peerEnters(a, room);
        auto window = videoWindow(20);
        m_cloud->startRemoteView("teacher-a", TRTCVideoStreamTypeBig, viewOf(window.get()));
        QVERIFY(m_sink->waitFor("onFirstVideoFrame", "teacher-a"));

        runScript({"stop", m_state.path()});
        QVERIFY(m_sink->waitFor("onConnectionLost"));
        QVERIFY(m_sink->waitFor("onTryToReconnect"));
        int code = -1;
        const QString out = runScript({"start", m_state.path(), "av"}, &code);
        QVERIFY2(code == 0 && out.contains(m_server), qPrintable(out));
        QVERIFY(m_sink->waitFor("onConnectionRecovery", {}, 1, 15000));
        QVERIFY(a.waitEvent(
                     [](const QJsonObject &e) { return e.value("ev") == "onConnectionRecovery"; },
                     15000)
                    .size());
        // The picture comes back by itself: a new first frame, and the bars in the window.
        QVERIFY(m_sink->waitFor("onFirstVideoFrame", "teacher-a", 2, 15000));
        QVERIFY(
            QTest::qWaitFor([&] { return smpteBarsSeen(grabNative(window.get())) >= 6; }, 5000));
        QCOMPARE(m_sink->named("onConnectionLost").size(), 1);
        m_cloud->exitRoom();
        QVERIFY(m_sink->waitFor("onExitRoom"));
    }

    // The server removes B (onExitRoom(1)), then dissolves a room B is in (onExitRoom(2)); a
    // signature without the media server's token is refused.
    void removedDissolvedAndRefused()
    {
        if (!serverMode())
            QSKIP("no server to act");
        const uint32_t room = 5104;
        enter(m_cloud, "student-b", room, sign("student-b"));
        QVERIFY(m_sink->waitFor("onEnterRoom"));
        JanusClient moderator(m_server, janusToken(sign("moderator")));
        const QJsonArray people =
            moderator.room({{"request", "listparticipants"}, {"room", int(room)}})
                .value("participants")
                .toArray();
        double id = 0;
        for (const QJsonValue &p : people) {
            if (p.toObject().value("display") == "student-b")
                id = p.toObject().value("id").toDouble();
        }
        QVERIFY2(id > 0, qPrintable(moderator.journal()));
        moderator.room({{"request", "kick"}, {"room", int(room)}, {"id", id}});
        QVERIFY(m_sink->waitFor("onExitRoom"));
        QCOMPARE(m_sink->named("onExitRoom").value(0).a, qint64(1));

        m_sink->clear();
        enter(m_cloud, "student-b", room + 1, sign("student-b"));
        QVERIFY(m_sink->waitFor("onEnterRoom"));
        QVERIFY(m_sink->named("onEnterRoom").value(0).a > 0);
        moderator.room({{"request", "destroy"}, {"room", int(room + 1)}});
        QVERIFY(m_sink->waitFor("onExitRoom"));
        QCOMPARE(m_sink->named("onExitRoom").value(0).a, qint64(2));

        m_sink->clear();
        enter(m_cloud, "student-b", room, "an IM signature without a media token");
        QVERIFY(m_sink->waitFor("onEnterRoom"));
        QCOMPARE(m_sink->named("onEnterRoom").value(0).a, qint64(ERR_USER_SIG_INVALID));
        m_cloud->exitRoom();
        QVERIFY(m_sink->waitFor("onExitRoom"));
    }

    // Whatever a server sends, the SDK ends in callbacks, never in a crash or a hang.
    void badServerAnswers_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("code");
        QTest::newRow("malformed JSON") << "garbage" << int(ERR_ROOM_REQUEST_IP_TIMEOUT);
        QTest::newRow("wrong types") << "types" << int(ERR_ROOM_ENTER_FAIL);
        QTest::newRow("refused join") << "refuse" << int(ERR_USER_SIG_INVALID);
        QTest::newRow("unknown events, then silence")
            << "unknown" << int(ERR_ROOM_REQUEST_IP_TIMEOUT);
        QTest::newRow("nobody listening") << "closed" << int(ERR_ROOM_ENTER_FAIL);
    }
    void badServerAnswers()
    {
        QFETCH(QString, part);
        QFETCH(int, code);
        FakeServer server;
        QVERIFY(server.listen());
        server.onRequest = [&](QWebSocket *socket, const QJsonObject &request) {
            const QString kind = request.value("janus").toString();
            const QJsonObject body = request.value("body").toObject();
            if (part == "garbage") {
                socket->sendTextMessage("{\"janus\": \"success\", \"transaction\": ");
                socket->sendTextMessage(QString(200, '['));
            } else if (part == "types") {
                reply(socket, {{"janus", "success"},
                               {"transaction", request.value("transaction")},
                               {"data", QJsonObject{{"id", "not a number"}}}});
            } else if (part == "unknown") {
                reply(socket, {{"janus", "surprise"}, {"sender", 5}, {"plugindata", 7}});
                reply(socket, {{"janus", "event"},
                               {"sender", "x"},
                               {"plugindata", QJsonObject{{"data", QJsonArray{1, 2}}}}});
            } else if (kind == "create" || kind == "attach") {
                reply(socket, success(request, 77));
            } else if (body.value("request") == "create") {
                reply(socket,
                      {{"janus", "success"},
                       {"transaction", request.value("transaction")},
                       {"plugindata", QJsonObject{{"data", QJsonObject{{"videoroom", "event"},
                                                                       {"error_code", 427}}}}}});
            } else if (body.value("request") == "join") {
                reply(socket, {{"janus", "ack"}, {"transaction", request.value("transaction")}});
                reply(socket, {{"janus", "event"},
                               {"transaction", request.value("transaction")},
                               {"plugindata",
                                QJsonObject{{"data", QJsonObject{{"videoroom", "event"},
                                                                 {"error_code", 433},
                                                                 {"error", "unauthorized"}}}}}});
            }
        };
        setServer(m_cloud, part == "closed" ? QStringLiteral("ws://127.0.0.1:1/") : server.url());
        enter(m_cloud, "student-b", 9, "not a signature");
        QVERIFY(m_sink->waitFor("onEnterRoom", {}, 1, 20000));
        QVERIFY(!m_sink->named("onError").isEmpty());
        QVERIFY2(m_sink->named("onEnterRoom").value(0).a == code,
                 qPrintable(m_sink->named("onError").value(0).user));
        if (part == "garbage")
            QVERIFY(!m_sink->named("onWarning").isEmpty());
        // Still usable afterwards.
        m_cloud->exitRoom();
        QVERIFY(m_sink->waitFor("onExitRoom"));
        QVERIFY(m_sink->named("onRemoteUserEnterRoom").isEmpty());
    }
};

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--av-peer") == 0)
            return runAvPeer(argc, argv);
    }
    QApplication app(argc, argv);
    TestAvRoom test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_avroom.moc"
