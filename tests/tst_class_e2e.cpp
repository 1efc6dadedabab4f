// A whole class with two real client processes, a teacher and a student, through the real class
// servers (IM and media, started by the project's script inside the test's own network
// namespace), each driven over its web engine's remote debugging port: the teacher starts the
// class, the student arrives late, shows up online on the teacher's page and enters the room,
// chat goes both ways, the teacher opens the student's camera and sees its picture, the teacher
// shares the screen and the student sees it, and the teacher's end of the class closes both
// clients' class windows in order and brings both home windows back.
#include "ClassParticipant.h"
#include "WindowPixels.h"

#include <QProcess>
#include <QRegularExpression>
#include <QWindow>
#include <QtTest>
#include <xcb/xcb.h>

namespace {

const QString liveId = QStringLiteral("e2e-class-1");

// The native window a client logged for a view ("MARKER "USER" view ID window ID"), its last one:
// the view's own window and its top-level window, 0 when not logged.
QPair<WId, WId> loggedView(const QByteArray &log, const QString &marker, const QString &userId)
{
    const QRegularExpression re(QRegularExpression::escape(marker) +
                                QStringLiteral(" \"%1\" view (\\d+) window (\\d+)")
                                    .arg(QRegularExpression::escape(userId)));
    QPair<WId, WId> found{0, 0};
    auto it = re.globalMatch(QString::fromUtf8(log));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        found = {m.captured(1).toULongLong(), m.captured(2).toULongLong()};
    }
    return found;
}

// What the display shows in a client's native view, its top-level window raised first: both
// clients share the display and their windows overlap.
QImage shownIn(const QPair<WId, WId> &view)
{
    QScopedPointer<QWindow> top(QWindow::fromWinId(view.second));
    top->raise();
    QGuiApplication::sync();
    QTest::qWait(100);
    return QGuiApplication::primaryScreen()
        ->grabWindow(view.first)
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// A left click at a point of another client's top-level window, sent through the X server: the
// chooser of what to share is a native dialog that no page can press.
bool clickIn(WId window, const QPoint &at)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_translate_coordinates_reply_t *onRoot = xcb_translate_coordinates_reply(
        c,
        xcb_translate_coordinates(c, xcb_window_t(window), root, int16_t(at.x()), int16_t(at.y())),
        nullptr);
    for (const uint8_t type :
         {uint8_t(XCB_MOTION_NOTIFY), uint8_t(XCB_BUTTON_PRESS), uint8_t(XCB_BUTTON_RELEASE)}) {
        xcb_button_press_event_t e = {};
        e.response_type = type;
        e.detail = type == XCB_MOTION_NOTIFY ? 0 : 1;
        e.time = XCB_CURRENT_TIME;
        e.root = root;
        e.event = xcb_window_t(window);
        e.event_x = int16_t(at.x());
        e.event_y = int16_t(at.y());
        e.root_x = onRoot ? onRoot->dst_x : e.event_x;
        e.root_y = onRoot ? onRoot->dst_y : e.event_y;
        e.same_screen = 1;
        e.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
        // No event mask: the event goes to the client that made the window.
        xcb_send_event(c, 0, e.event, 0, reinterpret_cast<const char *>(&e));
    }
    free(onRoot);
    const bool ok = xcb_flush(c) > 0;
    xcb_disconnect(c);
    return ok;
}

} // namespace

class TestClassE2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void aWholeClass();

private:
    ClassServers servers;
};

void TestClassE2e::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("prosody")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("janus")).isEmpty()) {
        QSKIP("the class servers (prosody, janus) are not installed");
    }
    QVERIFY2(servers.start(), qPrintable(servers.error));
}

void TestClassE2e::cleanupTestCase()
{
    servers.stop();
}

void TestClassE2e::aWholeClass()
{
    Participant teacher(QStringLiteral("teacher"));
    Participant student(QStringLiteral("student"));
    QVERIFY(teacher.install.isValid() && student.install.isValid());
    // The class role comes from the class data; "Student" as the opening type only skips the
    // device test, a native window that this driver cannot press.
    QVERIFY(teacher.start(QStringLiteral("demo-teacher-01:Demo Teacher:Student:") + liveId,
                          servers.env));
    const auto stopBoth = qScopeGuard([&] {
        teacher.stop();
        student.stop();
    });
    QVERIFY2(teacher.attachClass(), qPrintable(teacher.page.error));
    QVERIFY(teacher.waitState(QStringLiteral("s.me && s.me.userType === 'Teacher'")));

    // The teacher starts the class alone.
    QVERIFY(teacher.waitState(QStringLiteral("s.me.isJoinedGroup === 1")));
    teacher.click(QStringLiteral("start-live"));
    QVERIFY(teacher.waitState(QStringLiteral("s.me.isEnteredRoom === 1")));

    // The student arrives in the class that is on: in the group, online on the teacher's page,
    // then in the room on the teacher's word to the late arrival.
    QVERIFY(student.start(QStringLiteral("demo-student-01:Demo Student 1:Student:") + liveId,
                          servers.env));
    QVERIFY2(student.attachClass(), qPrintable(student.page.error));
    QVERIFY(student.waitState(QStringLiteral("s.me && s.me.userType === 'Student'")));
    QVERIFY2(student.waitState(QStringLiteral("s.me.isJoinedGroup === 1")),
             qPrintable(student.state(QStringLiteral("s.liveState")).toString()));
    QVERIFY(teacher.waitState(QStringLiteral(
        "s.users['demo-student-01'] && s.users['demo-student-01'].isJoinedGroup === 1")));
    QVERIFY(student.waitState(QStringLiteral("s.me.isEnteredRoom === 1"), 15000));

    // A chat line from each page arrives on the other as "ChatMsg".
    teacher.say(QStringLiteral("Good morning, class 你好"));
    QVERIFY(student.waitState(
        QStringLiteral("s.chat.some(function (m) { return m.text === 'Good morning, class 你好' && "
                       "m.from === 'demo-teacher-01'; })")));
    student.say(QStringLiteral("Morning!"));
    QVERIFY(teacher.waitState(QStringLiteral("s.chat.some(function (m) { return m.text === "
                                             "'Morning!' && m.from === 'demo-student-01'; })")));

    // The teacher opens the student's camera; the teacher's view of the student shows the
    // student's (virtual) camera, its colour bars, through the media server.
    QVERIFY(
        teacher.waitState(QStringLiteral("!!document.getElementById('open-cam-demo-student-01')")));
    const int cameraStarts = student.install.logText().count("Live-trtc-startLocalVideo");
    teacher.click(QStringLiteral("open-cam-demo-student-01"));
    QVERIFY(student.install.waitForLog("Live-trtc-startLocalVideo", cameraStarts + 1, 30000));
    QPair<WId, WId> studentView;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     studentView = loggedView(teacher.install.logText(),
                                              QStringLiteral("live-camera-startVideo"),
                                              QStringLiteral("demo-student-01"));
                     return studentView.first != 0;
                 },
                 30000),
             "the teacher shows no view of the student");
    int bars = 0;
    const bool barsShown =
        QTest::qWaitFor([&] { return (bars = smpteBarsSeen(shownIn(studentView))) >= 6; }, 30000);
    QVERIFY2(barsShown, qPrintable(QStringLiteral("colour bars seen: %1").arg(bars)));

    // The teacher shares the screen (the first source of the chooser); the student's view of the
    // share shows it, where before it was the view's black.
    teacher.click(QStringLiteral("share"));
    const QRegularExpression chooser(QStringLiteral(
        "ShareOptionDlg::showEvent window (\\d+) first source at QPoint\\((\\d+),(\\d+)\\)"));
    QRegularExpressionMatch shown;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     shown = chooser.match(QString::fromUtf8(teacher.install.logText()));
                     return shown.hasMatch();
                 },
                 20000),
             "no chooser of what to share");
    // The chooser lays its sources out once it has listed them: the click is repeated, a bounded
    // number of times, until the chooser takes it.
    bool chosen = false;
    for (int attempt = 0; attempt < 10 && !chosen; ++attempt) {
        QTest::qWait(1000);
        QVERIFY(clickIn(shown.captured(1).toULongLong(),
                        QPoint(shown.captured(2).toInt(), shown.captured(3).toInt())));
        chosen = teacher.install.waitForLog("ShareOptionDlg::slotClickedSourceInfo", 1, 1000);
    }
    QVERIFY2(chosen, "the chooser took no click");
    QPair<WId, WId> shareView;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     shareView = loggedView(student.install.logText(),
                                            QStringLiteral("ScreenRender::startVideo"),
                                            QStringLiteral("demo-teacher-01"));
                     return shareView.first != 0;
                 },
                 30000),
             "the student shows no view of the share");
    // The share's first picture reached the student through the media server (stream 2, the
    // sub stream), and what the view shows is no longer its black. Both clients draw on the one
    // display being shared, and the student's view of the share soon covers its page: from then
    // on the share shows mostly itself, a hall of mirrors whose only light parts are the edges
    // of the windows around it (a few per cent), so any light at all is the share arriving.
    QVERIFY2(
        student.install.waitForLog("Live-trtc-onFirstVideoFrame \"demo-teacher-01\" 2 ", 1, 30000),
        "no picture of the share");
    double shownShare = 0;
    const bool shareShown = QTest::qWaitFor(
        [&] {
            const QImage image = shownIn(shareView);
            shownShare = double(nonBlackPixels(image)) / qMax(1, image.width() * image.height());
            return shownShare > 0.01;
        },
        30000);
    QVERIFY2(shareShown, qPrintable(QStringLiteral("share shown: %1").arg(shownShare)));

    // The teacher ends the class: both leave the room, quit the group, log out, then tell home.
    teacher.click(QStringLiteral("close-live"));
    // Each step's outcome, success or failure: a failed step goes on with the next one.
    const QList<QList<QByteArray>> order = {{"\"ExitRoomSuccess\""},
                                            {"\"QuitGroupSuccess\"", "\"QuitGroupError\""},
                                            {"\"ImLogoutSuccess\"", "\"ImLogoutError\""},
                                            {"HomeDlg::slotCloseLive"}};
    for (Participant *p : {&teacher, &student}) {
        QVERIFY2(p->install.waitForLog("HomeDlg::slotCloseLive", 1, 60000),
                 qPrintable(p->install.dataDir()));
        int previous = -1;
        for (const QList<QByteArray> &step : order) {
            int at = -1;
            for (int found : p->positions(step)) {
                if (found >= 0 && (at < 0 || found < at)) {
                    at = found;
                }
            }
            QVERIFY2(at > previous, step.first().constData());
            previous = at;
        }
        // The home window is back: its page is shown again.
        PageDriver home;
        QVERIFY2(home.attach(p->port, 20000), qPrintable(home.error));
        QTRY_COMPARE_WITH_TIMEOUT(
            home.evaluate(QStringLiteral("document.visibilityState")).toString(),
            QStringLiteral("visible"), 20000);
        home.detach();
    }
}

QTEST_MAIN(TestClassE2e)
#include "tst_class_e2e.moc"
