// The live window's upper layers on their own: what remote and local commands do, where camera
// views go, the device menus, and the close sequence. The lower layers' steps are recorded
// instead of run, so each case shows what the layer under test decided.
#include "AppSettings.h"
#include "CameraRender.h"
#include "GlobalSignal.h"
#include "JsBridge.h"
#include "JsonUtil.h"
#include "LiveDlg.h"
#include "RecvImMsgTask.h"
#include "TrtcUtil.h"
#include "XMenu.h"

#include "LogCapture.h"
#include "WebTestMain.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString liveIdOfClass = QStringLiteral("live-9");

QString envelope(const QString &sender, const QJsonObject &data)
{
    return JsonUtil::toCompactString(QJsonObject{{QStringLiteral("sender"), sender},
                                                 {QStringLiteral("msgSeq"), 3},
                                                 {QStringLiteral("data"), data}});
}

QJsonObject command(const QString &name, const QString &liveId = liveIdOfClass)
{
    QJsonObject object{{QStringLiteral("command"), name}, {QStringLiteral("liveTime"), 321}};
    if (!liveId.isNull()) {
        object.insert(QStringLiteral("liveId"), liveId);
    }
    return object;
}

QJsonObject viewRect(const QString &userId, int x, int y, int width, int height)
{
    return QJsonObject{{QStringLiteral("userId"), userId},
                       {QStringLiteral("rect"), QJsonObject{{QStringLiteral("x"), x},
                                                            {QStringLiteral("y"), y},
                                                            {QStringLiteral("width"), width},
                                                            {QStringLiteral("height"), height}}}};
}

// What the class page was told, by function name, in order.
QStringList pageCalls(const XWebDialog &window, const QString &funcName)
{
    QStringList params;
    for (const QJsonValue &value : window.pendingMessages()) {
        const QJsonObject message = value.toObject();
        if (message.value(QStringLiteral("func")).toString() == funcName) {
            params << message.value(QStringLiteral("param")).toString();
        }
    }
    return params;
}

} // namespace

// What the event bus carried, in order.
class BusSink : public QObject
{
    Q_OBJECT

public:
    QStringList payloads;

public slots:
    void take(QString payload) { payloads.append(payload); }
};

// The window with the class's people, recording the steps that would reach the SDKs and the
// other participants.
class Window : public LiveDlg
{
    Q_OBJECT

public:
    using LiveBaseDlg::currLiveUser;
    using LiveBaseDlg::isClosing;
    using LiveBaseDlg::liveInfo;
    using LiveBaseDlg::liveTime;

    QStringList steps;

    Window()
    {
        liveId = liveIdOfClass;
        teacherInfo.userId = QStringLiteral("t1");
        teacherInfo.userType = LiveUserType::Teacher;
        assistantInfo.userId = QStringLiteral("a1");
        assistantInfo.userType = LiveUserType::Assistant;
    }
    void seat(const QString &userId, const QString &type)
    {
        currLiveUser.userId = userId;
        currLiveUser.userType = type;
        UserInfo info;
        info.userId = userId;
        AppSettings::setUserInfo(info);
        AppSettings::setCurrUserType(type);
    }

    void enterRoom() override { steps << QStringLiteral("enterRoom"); }
    void startLocalVideo() override { steps << QStringLiteral("startLocalVideo"); }
    void stopLocalVideo() override { steps << QStringLiteral("stopLocalVideo"); }
    void startLocalAudio() override { steps << QStringLiteral("startLocalAudio"); }
    void stopLocalAudio() override { steps << QStringLiteral("stopLocalAudio"); }
    void quitGroup() override { steps << QStringLiteral("quitGroup"); }
    void sendC2CLiveCommand(const QString &userId, const QString &name) override
    {
        steps << QStringLiteral("c2c:%1:%2").arg(userId, name);
    }
    void sendGroupLiveCommand(const QJsonObject &object) override
    {
        steps << QStringLiteral("group:") + JsonUtil::toCompactString(object);
    }
    void sendGroupLiveCommand(const QString &name) override
    {
        steps << QStringLiteral("group:") + name;
    }
    void closeEx() override
    {
        steps << QStringLiteral("closeEx");
        if (realClose) {
            LiveDlg::closeEx();
        }
    }
    bool realClose = false;
};

class TestLiveWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void remoteCommandsActOnlyForTheirClassAndItsStaff();
    void otherRemoteCommandsActAsBefore();
    void localCommandsAndTheTeachersCloseLive();
    void cameraViewsGoWhereThePageSays();
    void deviceMenusChooseDisableAndSkipUnknownTypes();
    void closeSequenceWithNeitherRoomNorGroup();
    void recordingWithoutServerWritesAFileAndTellsThePage();
};

void TestLiveWindow::init()
{
    AppSettings::setDeviceEnabled(TrtcDevice::Camera, true);
    AppSettings::setDeviceEnabled(TrtcDevice::Mic, true);
}

void TestLiveWindow::remoteCommandsActOnlyForTheirClassAndItsStaff()
{
    Window window;
    window.seat(QStringLiteral("s1"), LiveUserType::Student);
    LogCapture log;

    // The class's teacher and assistant may open this student's devices.
    window.slotRemoteLiveCommand(envelope(QStringLiteral("t1"), command("OpenCameraMic")));
    window.slotRemoteLiveCommand(envelope(QStringLiteral("a1"), command("OpenMic")));
    QCOMPARE(window.steps, QStringList({"startLocalVideo", "startLocalAudio", "startLocalAudio"}));
    window.steps.clear();

    // Anyone else, or the teacher about another class, or without a class, is refused.
    window.slotRemoteLiveCommand(envelope(QStringLiteral("s2"), command("OpenCamera")));
    window.slotRemoteLiveCommand(envelope(QString(), command("OpenCameraMic")));
    window.slotRemoteLiveCommand(envelope(QStringLiteral("t1"), command("OpenCamera", "live-8")));
    window.slotRemoteLiveCommand(envelope(QStringLiteral("t1"), command("OpenMic", QString())));
    // Ending the class needs the class's id, whoever sends it.
    window.slotRemoteLiveCommand(envelope(QStringLiteral("t1"), command("CloseLive", "live-8")));
    window.slotRemoteLiveCommand(envelope(QStringLiteral("t1"), command("StopLive", QString())));
    QVERIFY2(window.steps.isEmpty(), qPrintable(window.steps.join(',')));
    QCOMPARE(window.liveTime, 0);
    const QStringList refused =
        log.messages().filter(QStringLiteral("live-command-slotRemoteLiveCommand refused"));
    QCOMPARE(refused.size(), 6);
    QVERIFY(refused.at(0).contains(QLatin1String("s2")));
    QVERIFY(refused.at(0).contains(QLatin1String("teacher or assistant")));
    QVERIFY(refused.at(2).contains(QLatin1String("another class")));

    // "CloseLive" for this class from anyone in it closes the window; through the event bus too.
    GlobalSignal::Instance()->notify(ImSignal::RemoteLiveCommand,
                                     envelope(QStringLiteral("s2"), command("CloseLive")));
    QTRY_COMPARE(window.steps, QStringList{"closeEx"});
    QCOMPARE(window.liveTime, 321);
}

void TestLiveWindow::otherRemoteCommandsActAsBefore()
{
    Window window;
    window.seat(QStringLiteral("s1"), LiveUserType::Student);
    // Closing devices and starting the class stay open to every sender, as before.
    window.slotRemoteLiveCommand(envelope(QStringLiteral("s2"), command("CloseAllCameras")));
    window.slotRemoteLiveCommand(envelope(QStringLiteral("s2"), command("CloseMic", "x")));
    window.slotRemoteLiveCommand(envelope(QStringLiteral("t1"), command("StartLive")));
    QCOMPARE(window.steps, QStringList({"stopLocalVideo", "stopLocalAudio", "enterRoom"}));
    QCOMPARE(window.liveTime, 321);

    // A share someone starts is marked; the sharer is the sender.
    window.slotRemoteLiveCommand(envelope(QStringLiteral("t1"), command("StartScreenShare")));
    QCOMPARE(pageCalls(window, QStringLiteral("UpdateLiveInfo")).size(), 1);
    const QJsonObject info =
        JsonUtil::str2Json(pageCalls(window, QStringLiteral("UpdateLiveInfo")).last());
    QCOMPARE(info.value(QStringLiteral("isScreenSharing")).toInt(), 1);
    QCOMPARE(info.value(QStringLiteral("screenShareUserId")).toString(), QStringLiteral("t1"));

    // A student's client takes no member joins.
    window.steps.clear();
    window.slotRemoteLiveCommand(envelope(
        QStringLiteral("t1"),
        QJsonObject{{QStringLiteral("command"), QStringLiteral("GroupMemberJoin")},
                    {QStringLiteral("liveUser"),
                     QJsonObject{{QStringLiteral("userId"), QStringLiteral("s3")},
                                 {QStringLiteral("userType"), QStringLiteral("Student")}}}}));
    QVERIFY(pageCalls(window, QStringLiteral("UpdateLiveUser")).isEmpty());
}

void TestLiveWindow::localCommandsAndTheTeachersCloseLive()
{
    Window window;
    window.seat(QStringLiteral("t1"), LiveUserType::Teacher);
    window.slotLiveCommand(
        QStringLiteral(R"({"command":"RaiseHand","userId":"s1","extra":"dropped"})"));
    window.slotLiveCommand(QStringLiteral(R"({"command":"OpenCameraMic","userId":"s1"})"));
    window.slotLiveCommand(QStringLiteral(R"({"command":"Praise"})"));
    QCOMPARE(window.steps,
             QStringList({"c2c:s1:RaiseHand", "c2c:s1:OpenCameraMic", "group:Praise"}));

    window.slotLiveCommand(QStringLiteral(R"({"command":"SetBasicBeauty","beautyLevel":7})"));
    const BeautyStyle style = AppSettings::beautyStyle();
    QVERIFY(style.isEnable);
    QCOMPARE(style.beautyLevel, 7);
    QCOMPARE(style.whitenessLevel, 5);

    // The teacher's "CloseLive" tells the class, then closes this window.
    window.steps.clear();
    window.slotLiveCommand(QStringLiteral(R"({"command":"CloseLive","liveTime":55})"));
    QCOMPARE(window.steps.size(), 2);
    QVERIFY(window.steps.at(0).startsWith(QLatin1String("group:")));
    const QJsonObject told = JsonUtil::str2Json(window.steps.at(0).mid(6));
    QCOMPARE(told.value(QStringLiteral("command")).toString(), QStringLiteral("CloseLive"));
    QCOMPARE(told.value(QStringLiteral("liveTime")).toInt(), 55);
    QCOMPARE(window.steps.at(1), QStringLiteral("closeEx"));

    // A student's own "CloseLive" only leaves the room, telling no one.
    Window student;
    student.seat(QStringLiteral("s1"), LiveUserType::Student);
    student.slotLiveCommand(QStringLiteral(R"({"command":"CloseLive"})"));
    QVERIFY(student.steps.isEmpty());
}

void TestLiveWindow::cameraViewsGoWhereThePageSays()
{
    Window window;
    window.seat(QStringLiteral("t1"), LiveUserType::Teacher);
    window.resize(900, 600);
    window.show();
    window.setCameraViewRect(viewRect(QStringLiteral("s1"), 10, 20, 0, 90));
    window.setCameraViewRect(viewRect(QString(), 10, 20, 160, 90));
    window.setCameraViewRect(viewRect(QStringLiteral("s1"), 10, 20, 160, -1));
    QVERIFY(window.cameraViews().isEmpty());

    // Through the page's message: fractional places are cut, not rounded.
    window.slotWebMsg(
        QStringLiteral("SetCameraViewRects"),
        QString::fromUtf8(QJsonDocument(QJsonArray{viewRect(QStringLiteral("t1"), 0, 0, 200, 150),
                                                   viewRect(QStringLiteral("s1"), 0, 0, 0, 0)})
                              .toJson(QJsonDocument::Compact)));
    window.setCameraViewRect(
        QJsonObject{{QStringLiteral("userId"), QStringLiteral("s1")},
                    {QStringLiteral("rect"), QJsonObject{{QStringLiteral("x"), 210.9},
                                                         {QStringLiteral("y"), 0},
                                                         {QStringLiteral("width"), 200.6},
                                                         {QStringLiteral("height"), 150}}}});
    QCOMPARE(window.cameraViews().size(), 2);
    CameraRender *student = window.getUserCamera(QStringLiteral("s1"));
    QVERIFY(student != nullptr);
    QCOMPARE(student->geometry(), QRect(210, 0, 200, 150));
    QVERIFY(student->isVisible());
    QCOMPARE(student->getUserId(), QStringLiteral("s1"));
    // The own view is found by an empty id.
    QCOMPARE(window.getUserCamera(QString()), window.getUserCamera(QStringLiteral("t1")));

    // A second rectangle moves the view; no second one is made.
    window.setCameraViewRect(viewRect(QStringLiteral("s1"), 420, 0, 100, 75));
    QCOMPARE(window.cameraViews().size(), 2);
    QCOMPARE(window.getUserCamera(QStringLiteral("s1")), student);
    QCOMPARE(student->geometry(), QRect(420, 0, 100, 75));
    QCOMPARE(student->getViewRect(), QRect(420, 0, 100, 75));

    window.removeCameraRender(QString());
    QVERIFY(window.getUserCamera(QStringLiteral("t1")) == nullptr);
    QCOMPARE(window.cameraViews().size(), 1);
}

void TestLiveWindow::deviceMenusChooseDisableAndSkipUnknownTypes()
{
    Window window;
    window.seat(QStringLiteral("t1"), LiveUserType::Teacher);
    window.show();
    QCOMPARE(TitleMenuDlg::getDeviceType(QStringLiteral("mic")), 0);
    QCOMPARE(TitleMenuDlg::getDeviceType(QStringLiteral("speaker")), 1);
    QCOMPARE(TitleMenuDlg::getDeviceType(QStringLiteral("Mic")), 2);
    QCOMPARE(TitleMenuDlg::getDeviceType(QString()), 2);
    QCOMPARE(window.deviceMenu(2)->objectName(), QStringLiteral("2"));
    QCOMPARE(window.deviceMenu(0)->objectName(), QStringLiteral("0"));
    QCOMPARE(window.deviceMenu(1)->objectName(), QStringLiteral("1"));
    QVERIFY(window.deviceMenu(5) == nullptr);
    window.refreshDeviceMenu(5);
    window.showDeviceMenu(5);

    // "Disable" for the camera stops the preview, removes the own view, tells the page.
    window.setCameraViewRect(viewRect(QStringLiteral("t1"), 0, 0, 200, 150));
    QVERIFY(window.getUserCamera(QString()) != nullptr);
    emit window.deviceMenu(2)->signalClickedMenu(QStringLiteral("2"), QStringLiteral("Disable"));
    QVERIFY(!TrtcUtil::instance()->isCameraEnabled());
    QCOMPARE(window.steps, QStringList{"stopLocalVideo"});
    QVERIFY(window.getUserCamera(QString()) == nullptr);
    const QJsonObject state =
        JsonUtil::str2Json(pageCalls(window, QStringLiteral("SetDeviceState")).last());
    QCOMPARE(state.value(QStringLiteral("isCameraEnable")), QJsonValue(false));
    QCOMPARE(state.value(QStringLiteral("isMicEnable")), QJsonValue(true));
    QVERIFY(window.deviceMenu(2)->actionNamed(QStringLiteral("Disable"))->isChecked());

    // Choosing a device, even the checked one, enables the type again; out of the room no
    // video is started by the layers below.
    window.steps.clear();
    const QList<DeviceItem> cameras = TrtcUtil::instance()->getDeviceList(TrtcDevice::Camera);
    const QString id = cameras.isEmpty() ? QStringLiteral("no-such-camera") : cameras.first().id;
    emit window.deviceMenu(2)->signalClickedMenu(QStringLiteral("2"), id);
    QVERIFY(TrtcUtil::instance()->isCameraEnabled());
    QCOMPARE(window.steps, QStringList{"startLocalVideo"});
    QCOMPARE(JsonUtil::str2Json(pageCalls(window, QStringLiteral("SetDeviceState")).last())
                 .value(QStringLiteral("isCameraEnable")),
             QJsonValue(true));
    QVERIFY(!window.deviceMenu(2)->actionNamed(QStringLiteral("Disable"))->isChecked());

    // The microphone's "Disable" leaves the camera alone.
    window.steps.clear();
    emit window.deviceMenu(0)->signalClickedMenu(QStringLiteral("0"), QStringLiteral("Disable"));
    QCOMPARE(window.steps, QStringList{"stopLocalAudio"});
    QVERIFY(!TrtcUtil::instance()->isMicEnabled());
    QVERIFY(TrtcUtil::instance()->isCameraEnabled());
}

void TestLiveWindow::closeSequenceWithNeitherRoomNorGroup()
{
    BusSink home;
    GlobalSignal::Instance()->add(QStringLiteral("Signal_CloseLive"), &home, SLOT(take(QString)));
    Window window;
    window.realClose = true;
    window.seat(QStringLiteral("t1"), LiveUserType::Teacher);

    // Still in the group: the group is left first, the home window not yet told.
    window.currLiveUser.isJoinedGroup = 1;
    window.closeEx();
    QVERIFY(window.isClosing);
    QCOMPARE(window.steps, QStringList({"closeEx", "quitGroup"}));
    QTest::qWait(50);
    QVERIFY(home.payloads.isEmpty());

    // Neither in the room nor in the group: the home window is told at once, and only once.
    window.currLiveUser.isJoinedGroup = 0;
    window.closeEx();
    window.closeEx();
    QTRY_COMPARE(home.payloads.size(), 1);
    QTest::qWait(100);
    QCOMPARE(home.payloads.size(), 1);
    QCOMPARE(home.payloads.first(), QStringLiteral("{}"));
    GlobalSignal::Instance()->remove(QStringLiteral("Signal_CloseLive"), &home);
}

void TestLiveWindow::recordingWithoutServerWritesAFileAndTellsThePage()
{
    qunsetenv("BRV_AV_SERVER");
    QVERIFY(TrtcUtil::avServer().isEmpty());
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    Window window;
    window.seat(QStringLiteral("t1"), LiveUserType::Teacher);
    window.liveInfo.className = QStringLiteral("物理");
    window.liveInfo.liveRoomId = 1234567;
    window.currLiveUser.isEnteredRoom = 1;
    // Once the page is up, what it is told goes through the bridge.
    QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
    QList<QPair<QString, QString>> bridged;
    connect(window.bridge(), &JsBridge::signalQtMsg, this,
            [&bridged](const QString &func, const QString &param) {
                bridged.append({func, param});
            });
    const auto told = [&bridged](const QString &func) {
        QStringList params;
        for (const auto &message : qAsConst(bridged)) {
            if (message.first == func) {
                params << message.second;
            }
        }
        return params;
    };

    // No videos folder can be made: the page hears a failure, never a recording that runs.
    QDir().mkpath(QFileInfo(videos).absolutePath());
    QFile blocker(videos);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    window.slotLiveCommand(QStringLiteral(R"({"command":"StartRecord"})"));
    QCOMPARE(told(QStringLiteral("SetRecordState")), QStringList({"RecordStarting", "NotStart"}));
    QCOMPARE(told(QStringLiteral("RecordFile")).size(), 1);
    QVERIFY(told(QStringLiteral("RecordFile")).first().contains("\"error\""));
    QCOMPARE(window.liveInfo.isRecording, 0);
    QVERIFY(blocker.remove());

    // With a folder: the work area goes into a file whose path the page gets once it is whole.
    window.slotLiveCommand(QStringLiteral(R"({"command":"StartRecord"})"));
    QTRY_COMPARE(window.liveInfo.isRecording, 1);
    QTest::qWait(1000);
    window.slotLiveCommand(QStringLiteral(R"({"command":"StopRecord"})"));
    QTRY_COMPARE_WITH_TIMEOUT(told(QStringLiteral("RecordFile")).size(), 2, 15000);
    QCOMPARE(told(QStringLiteral("SetRecordState")),
             QStringList({"RecordStarting", "NotStart", "RecordStarting", "RecordStartSuccess",
                          "RecordStoping", "RecordStopSuccess"}));
    const QJsonObject answer = JsonUtil::str2Json(told(QStringLiteral("RecordFile")).last());
    const QString path = answer.value(QStringLiteral("path")).toString();
    QCOMPARE(QFileInfo(path).absolutePath(), QDir(videos).absolutePath());
    QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("物理 ")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(4), QByteArray::fromHex("1a45dfa3"));
    QVERIFY(file.size() > 1000);
    QCOMPARE(window.liveInfo.isRecording, 0);
}

int main(int argc, char **argv)
{
    return runWebTest<TestLiveWindow>(argc, argv);
}

#include "tst_livewindow.moc"
