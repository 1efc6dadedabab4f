// The live window's lower layers in a real window with the demo service's class page, on the
// real IM and audio/video client layers and their embedded SDKs: the class data comes from the
// page, the steps run through the SDKs, and the page hears every state.
#include "AppSettings.h"
#include "GlobalSignal.h"
#include "JsonUtil.h"
#include "LiveTrtcDlg.h"
#include "RecvImMsgTask.h"
#include "WebEngineView.h"

#include "ImSignature.h"
#include "LogCapture.h"
#include "PageScript.h"
#include "WebTestMain.h"

#include "brv_im.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEnginePage>
#include <QtTest>

namespace {

const int appId = 1400000001;

// The window as the class page drives it: "SetLiveData" fills the records and starts IM, as the
// live window does. It also stands in for the command layer where the admin's answers come in.
class TestLiveDlg : public LiveTrtcDlg
{
    Q_OBJECT

public:
    using LiveBaseDlg::currLiveUser;
    using LiveBaseDlg::isClosing;
    using LiveBaseDlg::liveId;
    using LiveBaseDlg::onlineStudentList;
    using LiveBaseDlg::teacherInfo;

    QStringList adminAnswers;
    int closeCalls = 0;

    TestLiveDlg()
    {
        for (const QString &name : {ImSignal::RemoteLiveCommand, ImSignal::RemoteBoardCommand,
                                    ImSignal::RemoteImCommand}) {
            GlobalSignal::Instance()->add(name, this, SLOT(slotRemoteCommand(QString)));
        }
    }
    ~TestLiveDlg() override { GlobalSignal::Instance()->removeAll(this); }

    void slotWebMsg(const QString &funcName, const QString &param) override
    {
        if (funcName == QLatin1String("SetLiveData") && setLiveData(param)) {
            initIm();
        }
        LiveTrtcDlg::slotWebMsg(funcName, param);
    }
    void closeEx() override { ++closeCalls; }

    void open()
    {
        resize(800, 600);
        show();
        loadPage(QStringLiteral("/qt/live/index"), QJsonObject());
        placeWebView(webView());
    }
    QWebEnginePage *page() const { return webView()->page(); }

public slots:
    void slotRemoteCommand(const QString &payload)
    {
        const QJsonObject envelope = JsonUtil::str2Json(payload);
        const QJsonObject data = JsonUtil::getObject(envelope, QStringLiteral("data"));
        if (JsonUtil::getString(envelope, QStringLiteral("sender")) != LiveUserType::Admin ||
            JsonUtil::getString(data, QStringLiteral("requestId")) != requestId) {
            return;
        }
        const QString command = JsonUtil::getString(data, QStringLiteral("command"));
        adminAnswers << command;
        const QString url = JsonUtil::getString(data, QStringLiteral("fileUrl"));
        if (command == QLatin1String("OnlineLiveUser") && url.contains(requestId)) {
            hanleOnlineUser(url);
        }
    }
};

QJsonObject user(const QString &id, const QString &type)
{
    return QJsonObject{{"userId", id}, {"nickname", id + " nick"}, {"userType", type}};
}

// What the class page sends for a user: the signature the service would issue, the room live
// or not (in the letter case the service happens to use), the application id as text.
QString liveData(const QString &me, const QString &type, const QString &roomState)
{
    AppSettings::setUserInfo(UserInfo::fromJson(QJsonObject{{"userId", me}}));
    const QJsonObject data{
        {"trtcSdkAppId", QString::number(appId)},
        {"trtcUserSig", imSignature(BRV_IM_DEMO_USERSIG_KEY, me, appId)},
        {"classInfo", QJsonObject{{"className", "Chemistry"}}},
        {"liveInfo", QJsonObject{{"liveRoomId", 7654321}, {"liveRoomState", roomState}}},
        {"liveSettings", QJsonObject{{"autoRecord", 0}}},
        {"teacherInfo", user("teacher-1", "Teacher")},
        {"currLiveUser", user(me, type)},
        {"onlineStudentList", QJsonArray()},
        {"offlineStudentList", QJsonArray{user("student-2", "Student")}}};
    return QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact));
}

void sendFromPage(TestLiveDlg &window, const QString &func, const QString &param)
{
    const QString quoted = QString::fromUtf8(QJsonDocument(QJsonArray{param}).toJson());
    evalJs(window.page(), QStringLiteral("brvDemo.send('%1', %2[0]); true").arg(func, quoted));
}

QStringList pageStates(TestLiveDlg &window)
{
    return evalJs(window.page(),
                  QStringLiteral("brvDemo.received.filter(function (m) { return m.func === "
                                 "'SetLiveState'; }).map(function (m) { return m.param; })"))
        .toStringList();
}

} // namespace

class TestLive : public QObject
{
    Q_OBJECT

private slots:
    // A teacher's class from the page's data to the room, and the closing chain back out.
    void teacherJoinsTeachesAndLeaves()
    {
        LogCapture log;
        TestLiveDlg window;
        window.liveId = QStringLiteral("Live-Class-7");
        window.open();
        QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
        sendFromPage(window, "SetLiveData", liveData("teacher-1", "Teacher", "LIVING"));

        const QStringList entered{"ImInitSuccess",    "ImLoginSuccess", "JoinGrouping",
                                  "JoinGroupSuccess", "EnteringRoom",   "EnterRoomSuccess"};
        QTRY_COMPARE_WITH_TIMEOUT(pageStates(window), entered, 20000);
        QCOMPARE(window.windowTitle(), QStringLiteral("Chemistry (7 654 321)"));

        // Three requests, three answers; the online list (only this user so far) keeps the
        // teacher's records whole.
        QTRY_COMPARE_WITH_TIMEOUT(window.adminAnswers.size(), 3, 15000);
        QCOMPARE(QSet<QString>(window.adminAnswers.begin(), window.adminAnswers.end()),
                 QSet<QString>({"HistoryChatMsg", "HistoryBoardMsg", "OnlineLiveUser"}));
        QTRY_VERIFY_WITH_TIMEOUT(log.contains("Live-user-slotFileDownloaded 0"), 10000);
        QCOMPARE(window.currLiveUser.userType, QStringLiteral("Teacher"));
        QCOMPARE(window.teacherInfo.nickname, QStringLiteral("teacher-1 nick"));
        QCOMPARE(window.currLiveUser.isEnteredRoom, 1);

        window.isClosing = true;
        window.exitRoom();
        QTRY_COMPARE_WITH_TIMEOUT(window.closeCalls, 1, 20000);
        QCOMPARE(pageStates(window).mid(entered.size()),
                 QStringList({"ExitingRoom", "ExitRoomSuccess", "QuitGrouping", "QuitGroupSuccess",
                              "ImLogouting", "ImLogoutSuccess"}));
        QCOMPARE(window.currLiveUser.isJoinedGroup, 0);
    }

    // A student asks "admin" for the two histories only, and stays out of a room not yet live
    // until told to start.
    void studentSendsTwoRequests()
    {
        TestLiveDlg window;
        window.liveId = QStringLiteral("live-class-8");
        window.open();
        QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
        sendFromPage(window, "SetLiveData", liveData("student-2", "student", "NotStart"));
        QTRY_COMPARE_WITH_TIMEOUT(
            pageStates(window),
            QStringList({"ImInitSuccess", "ImLoginSuccess", "JoinGrouping", "JoinGroupSuccess"}),
            20000);
        QTRY_COMPARE_WITH_TIMEOUT(window.adminAnswers.size(), 2, 15000);
        QTest::qWait(1000);
        QCOMPARE(window.adminAnswers.size(), 2);
        QVERIFY(!window.adminAnswers.contains("OnlineLiveUser"));
        QVERIFY(window.onlineStudentList.isEmpty());

        // The word to start comes twice (the group's and the page's): one entry, and a third
        // word once in the room enters nothing again.
        window.enterRoom();
        window.enterRoom();
        QTRY_COMPARE_WITH_TIMEOUT(window.currLiveUser.isEnteredRoom, 1, 20000);
        window.enterRoom();
        QTest::qWait(500);
        QCOMPARE(pageStates(window).mid(4), QStringList({"EnteringRoom", "EnterRoomSuccess"}));
    }

    // Quitting fails at once (there is no group to quit): the chain still logs out and closes.
    void closingChainGoesOnWhenQuitFails()
    {
        TestLiveDlg window;
        window.liveId = QStringLiteral("live-class-9");
        window.open();
        QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
        sendFromPage(window, "SetLiveData", liveData("teacher-1", "Teacher", "NotStart"));
        QTRY_VERIFY_WITH_TIMEOUT(pageStates(window).contains("JoinGroupSuccess"), 20000);

        LogCapture log;
        window.isClosing = true;
        window.liveId.clear();
        window.quitGroup();
        QTRY_COMPARE_WITH_TIMEOUT(window.closeCalls, 1, 20000);
        QVERIFY(log.contains("Live-base-setErrorInfo"));
        const QStringList states = pageStates(window);
        QCOMPARE(states.mid(states.indexOf("QuitGrouping")),
                 QStringList({"QuitGrouping", "QuitGroupError", "ImLogouting", "ImLogoutSuccess"}));
    }

    // Bad class data from the page: nothing applied, IM not started, a log line.
    void badLiveDataFromPage()
    {
        TestLiveDlg window;
        window.open();
        QTRY_VERIFY_WITH_TIMEOUT(window.isPageReady(), 30000);
        LogCapture log;
        sendFromPage(window, "SetLiveData", "{\"classInfo\": [");
        QTRY_VERIFY(log.contains("Live-base-setLiveData not a JSON object"));
        QTest::qWait(300);
        QVERIFY(pageStates(window).isEmpty());
        QVERIFY(!log.contains("Live-im-initIm"));
    }

    // Closed while the SDKs' answers are on their way: they are dropped, nothing crashes.
    void destroyedWhileAnswersAreOnTheirWay()
    {
        LogCapture log;
        {
            TestLiveDlg window;
            window.liveId = QStringLiteral("live-class-10");
            window.setLiveData(liveData("teacher-1", "Teacher", "Living"));
            window.initIm();
            window.enterRoom();
        }
        QVERIFY(log.contains("Live-im-loginIm"));
        QVERIFY(log.contains("Live-trtc-enterRoom"));
        QTest::qWait(1500);
        QVERIFY(!log.contains("Live-im-onLoginCb"));
        QVERIFY(!log.contains("Live-state-setLiveState \"EnterRoomSuccess\""));
    }
};

int main(int argc, char **argv)
{
    return runWebTest<TestLive>(argc, argv);
}

#include "tst_live.moc"
