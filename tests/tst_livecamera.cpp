#include "AppSettings.h"
#include "CameraRender.h"
#include "CameraRenderOverlay.h"
#include "GlobalSignal.h"
#include "LangUtil.h"
#include "LiveBaseDlg.h"
#include "ThemeStyle.h"
#include "XMenu.h"
#include "XPushButton.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

namespace {

LiveUser liveUser(const QString &id, const QString &camera = QString(),
                  const QString &mic = QString(), int maxVideo = 0)
{
    LiveUser user;
    user.userId = id;
    user.nickname = QStringLiteral("Name of ") + id;
    user.userType = LiveUserType::Student;
    user.cameraState = camera;
    user.micState = mic;
    user.isMaxVideo = maxVideo;
    return user;
}

void signIn(const QString &id, const QString &type)
{
    UserInfo info;
    info.userId = id;
    info.nickname = id;
    AppSettings::setUserInfo(info);
    AppSettings::setCurrUserType(type);
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

// A live window that knows its users and nothing else.
class UserBook : public LiveBaseDlg
{
public:
    QMap<QString, LiveUser> users;
    LiveUser getLiveUser(const QString &userId) override { return users.value(userId); }
};

class TestLiveCamera : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void controlsFollowTheUserAndTheView();
    void controlsAreLaidOutOnlyWhileHovered();
    void controlsActOnTheViewsUser();
    void studentsGetNoControls();
    void textsComeFromTheCameraMaskSection();
    void paintingFollowsStatesVolumeAndNetwork();
    void viewFollowsItsOwnersRecord();
};

void TestLiveCamera::initTestCase()
{
    LangUtil::setCurrentLang(QStringLiteral("en"));
}

void TestLiveCamera::init()
{
    signIn(QStringLiteral("teacher-1"), LiveUserType::Teacher);
}

void TestLiveCamera::controlsFollowTheUserAndTheView()
{
    CameraRenderOverlay overlay;
    // Letter case does not make another user of the signed-in one.
    overlay.setLiveUser(liveUser(QStringLiteral("TEACHER-1")));
    QCOMPARE(overlay.layoutNames(),
             QStringList({"CloseAllCameras", "CloseAllMics", "CloseAllPens", "MaxVideo"}));

    LiveUser student =
        liveUser(QStringLiteral("stu-1"), QStringLiteral("Opened"), QStringLiteral("Closed"), 1);
    student.penState = QStringLiteral("Opened");
    overlay.setLiveUser(student);
    QCOMPARE(overlay.layoutNames(),
             QStringList({"CloseCamera", "OpenMic", "ClosePen", "NormalVideo"}));
    overlay.setLiveUser(liveUser(QStringLiteral("stu-1"), QStringLiteral("Opening")));
    QCOMPARE(overlay.layoutNames(), QStringList({"OpenCamera", "OpenMic", "OpenPen", "MaxVideo"}));
}

void TestLiveCamera::controlsAreLaidOutOnlyWhileHovered()
{
    CameraRenderOverlay overlay;
    overlay.resize(200, 150);
    overlay.show();
    overlay.setLiveUser(liveUser(QStringLiteral("stu-1")));
    QVERIFY(!overlay.control(QStringLiteral("OpenCamera"))->isVisible());

    overlay.setHovered(true);
    // A 2x2 grid of 24 px buttons in the middle, "More" at the top right.
    QCOMPARE(overlay.control(QStringLiteral("OpenCamera"))->geometry(), QRect(70, 45, 24, 24));
    QCOMPARE(overlay.control(QStringLiteral("OpenMic"))->geometry(), QRect(106, 45, 24, 24));
    QCOMPARE(overlay.control(QStringLiteral("OpenPen"))->geometry(), QRect(70, 81, 24, 24));
    QCOMPARE(overlay.control(QStringLiteral("MaxVideo"))->geometry(), QRect(106, 81, 24, 24));
    QVERIFY(overlay.control(QStringLiteral("MaxVideo"))->isVisible());
    QVERIFY(!overlay.control(QStringLiteral("CloseCamera"))->isVisible());

    // A maximised view: one row of 32 px buttons at the top right, "More" after them.
    overlay.setLiveUser(liveUser(QStringLiteral("stu-1"), QStringLiteral("Opened"), QString(), 1));
    QCOMPARE(overlay.control(QStringLiteral("CloseCamera"))->geometry(),
             QRect(200 - 4 * 44, 12, 32, 32));
    QCOMPARE(overlay.control(QStringLiteral("NormalVideo"))->geometry(),
             QRect(200 - 44, 12, 32, 32));
    QVERIFY(!overlay.control(QStringLiteral("OpenCamera"))->isVisible());

    overlay.setHovered(false);
    QVERIFY(!overlay.control(QStringLiteral("CloseCamera"))->isVisible());
    QVERIFY(!overlay.control(QStringLiteral("More"))->isVisible());
}

void TestLiveCamera::controlsActOnTheViewsUser()
{
    BusSink sink;
    GlobalSignal::Instance()->add(QStringLiteral("Signal_LiveCommand"), &sink, SLOT(take(QString)));
    CameraRenderOverlay overlay;
    overlay.resize(200, 150);
    overlay.show();
    overlay.setLiveUser(liveUser(QStringLiteral("stu-7")));
    overlay.setHovered(true);
    QTest::mousePress(overlay.control(QStringLiteral("OpenCamera")), Qt::LeftButton);
    QTRY_COMPARE(sink.payloads.size(), 1);
    const QJsonObject command = QJsonDocument::fromJson(sink.payloads.first().toUtf8()).object();
    QCOMPARE(command.value(QStringLiteral("command")).toString(), QStringLiteral("OpenCamera"));
    QCOMPARE(command.value(QStringLiteral("userId")).toString(), QStringLiteral("stu-7"));

    // The rotation menu keeps one checked item.
    overlay.slotClickedMenu(QString(), QStringLiteral("pb_camera_rotate_90"));
    QVERIFY(overlay.menu()->actionNamed(QStringLiteral("pb_camera_rotate_90"))->isChecked());
    QVERIFY(!overlay.menu()->actionNamed(QStringLiteral("pb_camera_original_video"))->isChecked());
    GlobalSignal::Instance()->remove(QStringLiteral("Signal_LiveCommand"), &sink);
}

void TestLiveCamera::studentsGetNoControls()
{
    signIn(QStringLiteral("stu-1"), LiveUserType::Student);
    CameraRenderOverlay overlay;
    overlay.resize(200, 150);
    overlay.show();
    overlay.setLiveUser(liveUser(QStringLiteral("teacher-1")));
    overlay.setHovered(true);
    QVERIFY(!overlay.isHovered());
    QVERIFY(overlay.layoutNames().isEmpty());
    QVERIFY(overlay.control(QStringLiteral("OpenCamera")) == nullptr);
}

void TestLiveCamera::textsComeFromTheCameraMaskSection()
{
    CameraRenderOverlay overlay;
    QCOMPARE(overlay.control(QStringLiteral("CloseAllCameras"))->toolTip(),
             QStringLiteral("Turn off all cameras"));
    QCOMPARE(overlay.control(QStringLiteral("NormalVideo"))->toolTip(),
             QStringLiteral("Restore to normal"));
    QCOMPARE(overlay.menu()->actionNamed(QStringLiteral("pb_camera_original_video"))->text(),
             QStringLiteral("Original Image"));
    QCOMPARE(overlay.menu()->actionNamed(QStringLiteral("pb_camera_rotate_270"))->text(),
             QStringLiteral("Rotate left 90 degrees"));
}

void TestLiveCamera::paintingFollowsStatesVolumeAndNetwork()
{
    QCOMPARE(CameraRenderOverlay::volumeBarWidth(5, 100), 10);
    QCOMPARE(CameraRenderOverlay::volumeBarWidth(0, 100), 0);
    QCOMPARE(CameraRenderOverlay::volumeBarWidth(100, 250), 250);

    CameraRenderOverlay overlay;
    overlay.resize(100, 80);
    overlay.show();
    QCOMPARE(overlay.getAvatarSize(), 60);
    QVERIFY(!overlay.getAvatar().isNull());
    overlay.setLiveUser(liveUser(QStringLiteral("stu-1"), QStringLiteral("Disable")));
    QVERIFY(!overlay.getNameRect().isEmpty());

    const auto grab = [&overlay] {
        QImage image(overlay.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        overlay.render(&image);
        return image;
    };
    // Camera off: the theme's camera background; the avatar in the middle.
    QImage image = grab();
    QCOMPARE(image.pixelColor(95, 40), ThemeStyle::instance()->cameraBgColor);
    QVERIFY(image.pixelColor(50, 40) != ThemeStyle::instance()->cameraBgColor);
    // Camera on: the picture shows through; a bad network tints it.
    overlay.setLiveUser(liveUser(QStringLiteral("stu-1"), QStringLiteral("Opened")));
    QCOMPARE(grab().pixelColor(95, 40).alpha(), 0);
    overlay.setNetQuality(6);
    QCOMPARE(grab().pixelColor(95, 40).alpha(), 70);
    overlay.setNetQuality(1);
    overlay.setVolume(50);
    image = grab();
    QCOMPARE(image.pixelColor(10, 78), ThemeStyle::instance()->themeColor);
    QCOMPARE(image.pixelColor(60, 78).alpha(), 0);
}

void TestLiveCamera::viewFollowsItsOwnersRecord()
{
    UserBook owner;
    owner.users.insert(QStringLiteral("stu-2"),
                       liveUser(QStringLiteral("stu-2"), QStringLiteral("Opened")));
    auto *view = new CameraRender(&owner);
    view->setOwner(&owner, nullptr);
    QCOMPARE(view->objectName(), QStringLiteral("CameraRender"));
    QCOMPARE(view->getViewRect(), QRect(-1, -1, -1, -1));
    view->setUserId(QStringLiteral("stu-2"));
    QCOMPARE(view->getOverlay()->getLiveUser().cameraState, QStringLiteral("Opened"));
    QVERIFY(!view->isOwnView());

    owner.users[QStringLiteral("stu-2")].cameraState = QStringLiteral("Closed");
    view->refreshUser();
    QCOMPARE(view->getOverlay()->getLiveUser().cameraState, QStringLiteral("Closed"));

    // Showing the view brings its overlay, over the video area on the screen.
    owner.resize(600, 400);
    owner.show();
    view->setGeometry(30, 40, 160, 120);
    view->show();
    QVERIFY(view->getOverlay()->isVisible());
    QCOMPARE(view->getOverlay()->geometry(),
             QRect(view->getVideoView()->mapToGlobal(QPoint(0, 0)), QSize(160, 120)));
    view->hide();
    QVERIFY(!view->getOverlay()->isVisible());
}

QTEST_MAIN(TestLiveCamera)
#include "tst_livecamera.moc"
