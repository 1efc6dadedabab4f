// The live window's lower layers without a page: the class data, the state machine, the user
// list, the IM senders and group tips, and the audio/video events arriving on other threads.
#include "AppSettings.h"
#include "FileDownloader.h"
#include "JsonUtil.h"
#include "LiveTrtcDlg.h"
#include "TrtcUtil.h"

#include "LocalHttpServer.h"
#include "LogCapture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

QString compact(const QJsonObject &obj)
{
    return QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact));
}

// Stand-ins for the camera views of the layer above; never dereferenced by the layers here.
char viewTokens[4];
CameraRender *viewToken(int i)
{
    return reinterpret_cast<CameraRender *>(&viewTokens[i]);
}

// The window with the steps of the IM and room layers recorded instead of taken (unless
// forwardIm is set), and with camera views standing in for the layer above.
class ProbeLiveDlg : public LiveTrtcDlg
{
public:
    using LiveBaseDlg::assistantInfo;
    using LiveBaseDlg::classInfo;
    using LiveBaseDlg::closeMsg;
    using LiveBaseDlg::currLiveUser;
    using LiveBaseDlg::isClosing;
    using LiveBaseDlg::liveId;
    using LiveBaseDlg::liveInfo;
    using LiveBaseDlg::liveSettings;
    using LiveBaseDlg::liveState;
    using LiveBaseDlg::offlineStudentList;
    using LiveBaseDlg::onlineStudentList;
    using LiveBaseDlg::requestId;
    using LiveBaseDlg::teacherInfo;
    using LiveBaseDlg::trtcSdkAppId;
    using LiveBaseDlg::trtcUserSig;
    using LiveUserDlg::fileDownloader;

    QStringList calls;
    QMap<QString, CameraRender *> views;
    bool forwardIm = false;

    void loginIm() override { calls << QStringLiteral("loginIm"); }
    void joinGroup() override { calls << QStringLiteral("joinGroup"); }
    void quitGroup() override { calls << QStringLiteral("quitGroup"); }
    void logoutIm() override { calls << QStringLiteral("logoutIm"); }
    void enterRoom() override { calls << QStringLiteral("enterRoom"); }
    void startLocalVideo() override { calls << QStringLiteral("startLocalVideo"); }
    void startLocalAudio() override { calls << QStringLiteral("startLocalAudio"); }
    void startRecord() override { calls << QStringLiteral("startRecord"); }
    void showScreenRender(const QString &userId) override { calls << "showScreenRender " + userId; }
    void closeEx() override { calls << QStringLiteral("closeEx"); }
    void refreshDeviceMenu(int type) override { calls << QStringLiteral("menu %1").arg(type); }
    void sendC2CLiveCommand(const QString &userId, const QString &command) override
    {
        calls << "c2cLive " + userId + ' ' + command;
        if (forwardIm) {
            LiveTrtcDlg::sendC2CLiveCommand(userId, command);
        }
    }
    void sendC2CBoardCommand(const QString &userId, const QString &command) override
    {
        calls << "c2cBoard " + userId + ' ' + command;
        if (forwardIm) {
            LiveTrtcDlg::sendC2CBoardCommand(userId, command);
        }
    }
    void sendC2CImCommand(const QString &userId, const QString &command) override
    {
        calls << "c2cIm " + userId + ' ' + command;
        if (forwardIm) {
            LiveTrtcDlg::sendC2CImCommand(userId, command);
        }
    }
    using LiveTrtcDlg::sendGroupLiveCommand;
    void sendGroupLiveCommand(const QJsonObject &command) override
    {
        calls << "group " + command.value(QStringLiteral("command")).toString();
    }
    CameraRender *getUserCamera(const QString &userId) override { return views.value(userId); }
    void refreshCameraUser(CameraRender *view) override { calls << "refresh " + views.key(view); }
    void startCameraVideo(CameraRender *view) override { calls << "startVideo " + views.key(view); }
    void stopCameraVideo(CameraRender *view) override { calls << "stopVideo " + views.key(view); }
    void setCameraVolume(CameraRender *view, int volume) override
    {
        calls << QStringLiteral("volume %1 %2").arg(views.key(view)).arg(volume);
    }
    void setCameraNetQuality(CameraRender *view, int quality) override
    {
        calls << QStringLiteral("quality %1 %2").arg(views.key(view)).arg(quality);
    }
};

QJsonObject student(const QString &id, const QString &name)
{
    return QJsonObject{{"userId", id}, {"nickname", name}, {"userType", "Student"}};
}

QJsonObject classData(const QString &type)
{
    QJsonObject data = json(R"({"trtcSdkAppId": 1400000001, "trtcUserSig": "sig",
        "classInfo": {"className": "Physics", "classId": "c1", "studentCount": 30},
        "liveInfo": {"liveId": "L1", "liveRoomId": 1234567, "liveRoomState": "NotStart"},
        "liveSettings": {"autoRecord": 1, "liveUiMode": "TopVideo"},
        "teacherInfo": {"userId": "t1", "nickname": "Ms T", "userType": "Teacher"},
        "assistantInfo": {"userId": "a1", "nickname": "Mr A", "userType": "Assistant"}})");
    data.insert("currLiveUser",
                type == "Teacher" ? data.value("teacherInfo") : QJsonValue(student("s1", "Sam")));
    data.insert("onlineStudentList", QJsonArray{student("s1", "Sam")});
    data.insert("offlineStudentList", QJsonArray{student("s2", "Sue"), student("s3", "Sid")});
    return data;
}

} // namespace

class TestLiveData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UserInfo me;
        me.userId = QStringLiteral("t1");
        AppSettings::setUserInfo(me);
    }

    void recordsReadLeniently()
    {
        LiveUser user;
        user.nickname = QStringLiteral("kept");
        user.fromJson(json(R"({"userId": 42, "netQuality": "3", "qaCount": 2.5, "duration": 1e10,
                               "praiseCount": -7, "userType": "Student", "isOnStage": true})"));
        QCOMPARE(user.nickname, QStringLiteral("kept"));
        QCOMPARE(user.userId, QString());
        QCOMPARE(user.netQuality, 0);
        QCOMPARE(user.qaCount, 0);
        QCOMPARE(user.duration, 0);
        QCOMPARE(user.praiseCount, -7);
        QCOMPARE(user.isOnStage, 0);
        QCOMPARE(user.userType, QStringLiteral("Student"));

        ClassInfo info;
        info.fromJson(json(R"({"learnFee": 12.5, "teachFee": "3"})"));
        QCOMPARE(info.learnFee, 12.5);
        QCOMPARE(info.teachFee, 0.0);

        // Every field under its own key, the service's spelling included.
        const QJsonObject watch = LiveWatchData().toJson();
        QCOMPARE(watch.size(), 22);
        QVERIFY(watch.contains("assitantId") && watch.contains("assitantName"));
        QCOMPARE(LiveUser().toJson().size(), 44);
        QCOMPARE(LiveInfo().toJson().size(), 35);
        // The fast text is the same JSON as the cleaned object, whatever the strings hold.
        LiveUser odd;
        odd.userId = QStringLiteral("q\"uote\\back\x01\n\t/");
        odd.nickname = QStringLiteral("名字 😀");
        odd.netQuality = -3;
        odd.isOnStage = 1;
        const QJsonDocument text = QJsonDocument::fromJson(odd.toCompactText().toUtf8());
        QVERIFY(text.isObject());
        QCOMPARE(text.object(), JsonUtil::cleanObject(odd.toJson()));
        ClassInfo fees;
        fees.learnFee = 0.1;
        fees.teachFee = 3e20;
        QCOMPARE(QJsonDocument::fromJson(fees.toCompactText().toUtf8()).object(),
                 JsonUtil::cleanObject(fees.toJson()));

        LiveInfo round;
        round.fromJson(json(R"({"liveRoomId": 99, "isRecording": 1, "className": "X"})"));
        LiveInfo again;
        again.fromJson(round.toJson());
        QCOMPARE(again.toJson(), round.toJson());
    }

    void roomNumberGroups_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("nine") << qint64(123456789) << "123 456 789";
        QTest::newRow("four") << qint64(1234) << "1 234";
        QTest::newRow("three") << qint64(123) << "123";
        QTest::newRow("seven") << qint64(1234567) << "1 234 567";
        QTest::newRow("zero") << qint64(0) << "0";
        QTest::newRow("negative") << qint64(-1234) << "-1 234";
    }

    void roomNumberGroups()
    {
        QFETCH(qint64, number);
        QFETCH(QString, text);
        QCOMPARE(LiveJson::groupDigits(number), text);
    }

    void setLiveDataFillsAndReplaces()
    {
        ProbeLiveDlg window;
        window.liveId = QStringLiteral("L1");
        QJsonObject data = classData("Teacher");
        QJsonArray offline = data.value("offlineStudentList").toArray();
        offline.append(QJsonObject{{"userId", "s2"}, {"nickname", "Sue again"}});
        data.insert("offlineStudentList", offline);
        data.insert("trtcSdkAppId", "1400000002");
        window.setLiveData(data);

        QCOMPARE(window.windowTitle(), QStringLiteral("Physics (1 234 567)"));
        QCOMPARE(window.trtcSdkAppId, 1400000002);
        QCOMPARE(window.offlineStudentList.size(), 2);
        QCOMPARE(window.offlineStudentList.value("s2").nickname, QStringLiteral("Sue again"));
        QCOMPARE(window.offlineStudentList.value("s2").userType, QString());
        QCOMPARE(AppSettings::liveId(), QStringLiteral("L1"));
        QVERIFY(!AppSettings::isStudent());
        QVERIFY(!window.currLiveUser.os.isEmpty());
        const QJsonObject watch = window.getWatchData();
        QCOMPARE(watch.value("userCount").toInt(), 2);
        QCOMPARE(watch.value("teacherName").toString(), QStringLiteral("Ms T"));
        QCOMPARE(watch.value("assitantName").toString(), QStringLiteral("Mr A"));

        // A second message without the class and with no list: the class stays, the lists go.
        window.setLiveData(json(R"({"trtcSdkAppId": "abc", "onlineStudentList": {"s1": 1},
                                    "liveInfo": {"isRecording": 1}})"));
        QCOMPARE(window.classInfo.className, QStringLiteral("Physics"));
        QCOMPARE(window.trtcSdkAppId, 0);
        QVERIFY(window.onlineStudentList.isEmpty());
        QVERIFY(window.offlineStudentList.isEmpty());
        QCOMPARE(window.teacherInfo.nickname, QStringLiteral("Ms T"));
        QCOMPARE(window.getWatchData().value("userCount").toInt(), 1);
        QCOMPARE(window.getWatchData().value("isRecording").toInt(), 1);

        // Ids beyond an int read as 0 rather than as whatever the conversion makes of them.
        window.setLiveData(json(R"({"trtcSdkAppId": 1e12})"));
        QCOMPARE(window.trtcSdkAppId, 0);
    }

    void badLiveDataText()
    {
        ProbeLiveDlg window;
        window.setLiveData(classData("Teacher"));
        LogCapture log;
        for (const char *text :
             {"", "[1,2]", "{\"classInfo\": {\"className\": \"Half", "42", "null", "\"text\""}) {
            QVERIFY(!window.setLiveData(QString::fromUtf8(text)));
        }
        QCOMPARE(window.classInfo.className, QStringLiteral("Physics"));
        QCOMPARE(window.onlineStudentList.size(), 1);
        QVERIFY(log.contains(QStringLiteral("Live-base-setLiveData not a JSON object")));

        // Ten thousand students, with one bad entry among them: the bad entry is an empty user.
        QJsonArray many;
        for (int i = 0; i < 10000; ++i) {
            many.append(student(QStringLiteral("u%1").arg(i, 5, 10, QLatin1Char('0')), "n"));
        }
        many.append(QStringLiteral("not a user"));
        QJsonObject data = classData("Teacher");
        data.insert("offlineStudentList", many);
        QVERIFY(window.setLiveData(compact(data)));
        QCOMPARE(window.offlineStudentList.size(), 10001);
        QVERIFY(window.offlineStudentList.contains(QString()));
        QCOMPARE(window.offlineStudentList.firstKey(), QString());
    }

    void stateMachineSteps()
    {
        ProbeLiveDlg window;
        window.setLiveData(classData("Student"));
        window.setLiveState(LiveState::ImInitSuccess);
        window.setLiveState(LiveState::ImLoginSuccess);
        QCOMPARE(window.calls, QStringList({"loginIm", "c2cIm admin GetHistoryChatMsg",
                                            "c2cBoard admin GetHistoryBoardMsg", "joinGroup"}));

        // The room is live in lower case: the student enters it, but starts nothing of its own.
        window.calls.clear();
        window.liveInfo.liveRoomState = QStringLiteral("living");
        window.liveInfo.isScreenSharing = 1;
        window.liveInfo.screenShareUserId = QStringLiteral("t1");
        window.setLiveState(LiveState::JoinGroupSuccess);
        window.setLiveState(LiveState::EnterRoomSuccess);
        QCOMPARE(window.calls, QStringList({"enterRoom", "showScreenRender t1"}));
        QCOMPARE(window.liveInfo.liveRoomState, LiveRoomState::Living);
        QCOMPARE(window.currLiveUser.isJoinedGroup, 1);
        QCOMPARE(window.currLiveUser.isEnteredRoom, 1);

        // Quitting fails while not closing: only the flag changes.
        window.calls.clear();
        window.setLiveState(LiveState::QuitGroupError);
        QCOMPARE(window.calls, QStringList());
        QCOMPARE(window.currLiveUser.isJoinedGroup, 0);
        // While closing, a failure goes on to the logout as a success does, and then to closing.
        window.isClosing = true;
        window.setLiveState(LiveState::ExitRoomSuccess);
        window.setLiveState(LiveState::QuitGroupError);
        window.setLiveState(LiveState::ImLogoutError);
        QCOMPARE(window.calls, QStringList({"quitGroup", "logoutIm", "closeEx"}));
        QCOMPARE(window.currLiveUser.cameraState, LiveDeviceState::Unknown);
        QCOMPARE(window.liveInfo.liveRoomState, LiveRoomState::Stop);
    }

    void teacherStartsTheLesson()
    {
        ProbeLiveDlg window;
        QJsonObject data = classData("Teacher");
        QJsonObject user = data.value("currLiveUser").toObject();
        user.insert("userType", "TEACHER");
        data.insert("currLiveUser", user);
        window.setLiveData(data);
        window.setLiveState(LiveState::ImLoginSuccess);
        window.setLiveState(LiveState::JoinGroupSuccess);
        window.setLiveState(LiveState::EnterRoomSuccess);
        QCOMPARE(
            window.calls,
            QStringList({"c2cIm admin GetHistoryChatMsg", "c2cBoard admin GetHistoryBoardMsg",
                         "c2cLive admin GetOnlineLiveUser", "joinGroup", "group GroupMemberJoin",
                         "startLocalVideo", "startLocalAudio", "startRecord", "group StartLive"}));
        QCOMPARE(window.liveInfo.imGroupState, ImGroupState::Created);
        // The teacher is both the own user and the class's teacher: both records follow.
        QCOMPARE(window.teacherInfo.isEnteredRoom, 1);

        window.calls.clear();
        window.setLiveState(LiveState::ExitRoomSuccess);
        window.setLiveState(LiveState::QuitGroupSuccess);
        QCOMPARE(window.calls, QStringList({"group StopLive"}));
        QCOMPARE(window.liveInfo.imGroupState, ImGroupState::Close);
    }

    void userListUpdatesAndMoves()
    {
        ProbeLiveDlg window;
        window.liveId = QStringLiteral("L1");
        window.setLiveData(classData("Teacher"));
        window.views.insert("s2", viewToken(0));

        // Only in the offline list: no stored record changes, the view is still refreshed.
        LiveUser sue = window.getLiveUser("s2");
        sue.nickname = QStringLiteral("changed");
        window.updateLiveUser(sue);
        QCOMPARE(window.offlineStudentList.value("s2").nickname, QStringLiteral("Sue"));
        QCOMPARE(window.calls, QStringList({"refresh s2"}));

        // Joining moves a student; the same student twice stays one entry.
        window.handleGroupMemberJoin(window.getLiveUser("s2"));
        window.handleGroupMemberJoin(window.getLiveUser("s2"));
        QVERIFY(!window.offlineStudentList.contains("s2"));
        QCOMPARE(window.onlineStudentList.size(), 2);
        QCOMPARE(window.onlineStudentList.value("s2").isJoinedGroup, 1);

        // Group tips: another group is ignored, any letter case of this one and an empty id count.
        window.onGroupTipsEventCallback(R"({"group_tips_elem_group_id": "other",
            "group_tips_elem_tip_type": 2, "group_tips_elem_op_user": "s2"})");
        QVERIFY(window.onlineStudentList.contains("s2"));
        window.onGroupTipsEventCallback(R"({"group_tips_elem_group_id": "l1",
            "group_tips_elem_tip_type": 3, "group_tips_elem_op_user": "s2",
            "group_tips_elem_user_array": []})");
        QVERIFY(!window.onlineStudentList.contains("s2"));
        QCOMPARE(window.offlineStudentList.value("s2").isJoinedGroup, 0);
        window.onGroupTipsEventCallback(R"({"group_tips_elem_tip_type": "2",
            "group_tips_elem_user_array": ["s1", 7, "nobody"]})");
        QVERIFY(window.onlineStudentList.isEmpty());
        QCOMPARE(window.offlineStudentList.size(), 3);
        window.onGroupTipsEventCallback("not json");
        window.onGroupTipsEventCallback(R"({"group_tips_elem_tip_type": 1,
            "group_tips_elem_op_user": "t1"})");
        QCOMPARE(window.teacherInfo.nickname, QStringLiteral("Ms T"));

        // A student's client keeps its lists as the page gave them.
        ProbeLiveDlg studentWindow;
        studentWindow.setLiveData(classData("student"));
        studentWindow.handleGroupMemberJoin(studentWindow.getLiveUser("s2"));
        QVERIFY(studentWindow.offlineStudentList.contains("s2"));
    }

    void onlineListFile()
    {
        LocalHttpServer server;
        QVERIFY(server.start());
        ProbeLiveDlg window;
        window.setLiveData(classData("Teacher"));
        LogCapture log;

        // Entries with no more than the id must not wipe the records the window has.
        server.pages.insert("/online.json", R"([{"userId": "t1"}, {"userId": "s2"},
            {"userId": "s3", "nickname": "Sid B", "userType": "Student"}, {"nickname": "?"}])");
        window.hanleOnlineUser(server.url("/online.json"));
        QTRY_VERIFY(log.contains("Live-user-slotFileDownloaded"));
        QCOMPARE(window.currLiveUser.nickname, QStringLiteral("Ms T"));
        QCOMPARE(window.currLiveUser.userType, QStringLiteral("Teacher"));
        QCOMPARE(window.teacherInfo.userType, QStringLiteral("Teacher"));
        QVERIFY(window.offlineStudentList.isEmpty());
        QCOMPARE(window.onlineStudentList.keys(), QStringList({"s1", "s2", "s3"}));
        QCOMPARE(window.onlineStudentList.value("s3").nickname, QStringLiteral("Sid B"));
        QCOMPARE(window.onlineStudentList.value("s2").nickname, QStringLiteral("Sue"));
        QVERIFY(window.assistantInfo.nickname == QStringLiteral("Mr A"));

        // An object instead of an array: a warning, nothing changes.
        log.clear();
        server.pages.insert("/object.json", R"({"userId": "s9", "userType": "Student"})");
        window.hanleOnlineUser(server.url("/object.json"));
        QTRY_VERIFY(log.contains("Live-user-onlineUser json is not array"));
        QCOMPARE(window.onlineStudentList.size(), 3);

        // A server that never answers: the download gives up and the window says so.
        log.clear();
        QTcpServer stalled;
        QVERIFY(stalled.listen(QHostAddress::LocalHost, 0));
        window.fileDownloader->setTimeout(300);
        window.hanleOnlineUser(
            QStringLiteral("http://127.0.0.1:%1/online.json").arg(stalled.serverPort()));
        QTRY_VERIFY_WITH_TIMEOUT(log.contains("Live-user-onlineUser download timed out"), 5000);
        QCOMPARE(window.onlineStudentList.size(), 3);
    }

    void imSendersAndRequestIds()
    {
        ProbeLiveDlg window;
        window.forwardIm = true;
        window.liveId = QStringLiteral("L1");
        LogCapture log;
        window.sendC2CLiveCommand("admin", "GetOnlineLiveUser");
        window.sendC2CLiveCommand("admin", "GetOnlineLiveUserX");
        window.sendC2CImCommand("admin", "GetHistoryChatMsg");
        window.sendC2CBoardCommand("admin", "getHistoryBoardMsg");
        window.LiveImDlg::sendGroupLiveCommand(json(R"({"command": "StartLive", "liveId": "x"})"));
        QStringList tasks;
        for (const QString &line : log.messages()) {
            if (line.startsWith("live-im-createSendMsgTask")) {
                tasks << line;
            }
        }
        QCOMPARE(tasks.size(), 5);
        QVERIFY(tasks.at(0).contains(window.requestId));
        QVERIFY(!tasks.at(1).contains("requestId"));
        QVERIFY(tasks.at(2).contains(window.requestId));
        QVERIFY(!tasks.at(3).contains("requestId"));
        QVERIFY(tasks.at(4).contains(R"("liveId":"L1")") && !tasks.at(4).contains(R"("x")"));
        QVERIFY(tasks.at(4).contains(R"("convType":2)"));
    }

    // SDK events from another thread act on the GUI thread; repeated states change nothing.
    void trtcEventsFromAnotherThread()
    {
        ProbeLiveDlg window;
        window.setLiveData(classData("Teacher"));
        window.views.insert("s1", viewToken(1));
        window.views.insert("", viewToken(2));
        const QByteArray s1 = "s1";
        liteav::TRTCVolumeInfo volumes[2];
        volumes[0].userId = "s1";
        volumes[0].volume = 40;
        volumes[1].userId = nullptr;
        volumes[1].volume = 90;
        std::unique_ptr<QThread> sdk(QThread::create([&]() {
            window.onUserVideoAvailable(s1.constData(), true);
            window.onUserVideoAvailable(s1.constData(), true);
            window.onRemoteVideoStatusUpdated(nullptr, liteav::TRTCVideoStreamTypeBig,
                                              liteav::TRTCAVStatusPlaying,
                                              liteav::TRTCAVStatusChangeReasonInternal, nullptr);
            window.onUserVoiceVolume(volumes, 0, 0);
            window.onUserVoiceVolume(nullptr, 3, 0);
            window.onUserVoiceVolume(volumes, 2, 90);
            window.onDeviceChange("cam", liteav::TXMediaDeviceTypeCamera,
                                  liteav::TXMediaDeviceStateAdd);
            window.onEnterRoom(-1);
        }));
        sdk->start();
        QVERIFY(sdk->wait(5000));
        // Nothing has acted yet: it all waits for the GUI thread.
        QVERIFY(window.calls.isEmpty());
        QCOMPARE(window.onlineStudentList.value("s1").cameraState, QString());
        QTRY_COMPARE(window.liveState, LiveState::EnterRoomSuccess);
        QCOMPARE(window.onlineStudentList.value("s1").cameraState, LiveDeviceState::Opened);
        QCOMPARE(window.calls.count("startVideo s1"), 1);
        // Not live when the volumes came: no view got one.
        QCOMPARE(window.calls.filter("volume").size(), 0);
        QVERIFY(window.calls.contains("menu 2"));

        window.calls.clear();
        window.onUserVoiceVolume(volumes, 0, 0);
        window.onUserVoiceVolume(volumes, 2, 90);
        window.onRemoteVideoStatusUpdated("s1", liteav::TRTCVideoStreamTypeBig,
                                          liteav::TRTCAVStatusLoading,
                                          liteav::TRTCAVStatusChangeReasonInternal, nullptr);
        window.onExitRoom(3);
        QCOMPARE(window.liveState, LiveState::EnterRoomSuccess);
        QVERIFY(window.closeMsg.isEmpty());
        window.onExitRoom(2);
        QCOMPARE(window.liveState, LiveState::ExitRoomSuccess);
        QVERIFY(!window.getCloseMsg().isEmpty());
        QCOMPARE(window.calls.filter("volume"), QStringList({"volume s1 40"}));
        QCOMPARE(window.onlineStudentList.value("s1").cameraState, LiveDeviceState::Closed);
    }

    void resolutionPresets()
    {
        ProbeLiveDlg window;
        window.setLiveData(classData("Student"));
        const auto same = [](const liteav::TRTCVideoEncParam &a, const QString &name) {
            const liteav::TRTCVideoEncParam b = TrtcVideo::encoderParamFor(name);
            return a.videoResolution == b.videoResolution && a.videoFps == b.videoFps &&
                   a.videoBitrate == b.videoBitrate;
        };
        window.liveSettings.liveResolution = R"({"teacherResolution": "FHD"})";
        QVERIFY(same(window.getUserResolution(), "SD"));
        window.liveSettings.liveResolution = R"({"studentResolution": "FLU",
            "recordResolution": "SD2", "screenResolution": 5})";
        QVERIFY(same(window.getUserResolution(), "FLU"));
        window.liveSettings.liveUiMode = QStringLiteral("rECORD");
        QVERIFY(same(window.getUserResolution(), "SD2"));
        QVERIFY(same(window.getScreenResolution(), ""));
        window.liveSettings.liveResolution = QStringLiteral("not json");
        QVERIFY(same(window.getRecordResolution(), "HD"));
        QVERIFY(!same(window.getRecordResolution(), "SD"));
    }

    // A window destroyed with SDK events queued for it gets none of them afterwards.
    void destroyedWithEventsInFlight()
    {
        auto *window = new ProbeLiveDlg;
        window->setLiveData(classData("Teacher"));
        QPointer<ProbeLiveDlg> guard(window);
        std::unique_ptr<QThread> sdk(QThread::create([window]() {
            for (int i = 0; i < 200; ++i) {
                window->onEnterRoom(0);
                window->onNetworkQuality({"t1", liteav::TRTCQuality_Bad}, nullptr, 0);
            }
        }));
        sdk->start();
        QVERIFY(sdk->wait(5000));
        LogCapture log;
        delete window;
        // It never started the IM SDK, so it does not stop it under another window's feet.
        QVERIFY(log.contains("Live-im-uninitIm"));
        QVERIFY(!log.contains("ImUninit"));
        QCoreApplication::processEvents();
        QTest::qWait(100);
        QVERIFY(guard.isNull());
        QVERIFY(!log.contains("Live-state-setLiveState \"EnterRoomSuccess\""));
    }
};

QTEST_MAIN(TestLiveData)
#include "tst_livedata.moc"
