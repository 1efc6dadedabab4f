// A class of two real clients, a teacher and a student, through the real class servers (IM and
// media, started here; run.sh runs this in a private network namespace), each driven over its web
// engine's remote debugging port:
// - the teacher's time from opening the class ("OpenLive" from its home page) to the class state
//   "EnterRoomSuccess", starting the class the moment the window is in the class's group (the
//   driver's own delay in pressing start is left out);
// - the student's time from opening the class, once it is on, to "EnterRoomSuccess";
// - the CPU time of everything the class runs on (both clients with their web engines, the IM and
//   media servers) over 20 s with both cameras on, against the same processes at home.
// The teacher's time is measured first for a teacher alone, without servers (IM embedded, the
// room of one), the same client the same way: the peer of the class's times.
// One JSON line on standard output.
#include "ClassParticipant.h"
#include "ProcStat.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <unistd.h>

namespace {

const QString liveId = QStringLiteral("bench-class-1");

// The share of the machine's cores each group of processes used over `ms`, in per cent of all
// cores; a process that ends meanwhile counts for what it used before.
QJsonObject cpuOver(const QMap<QString, QList<qint64>> &groups, int ms)
{
    QMap<qint64, qint64> before;
    for (const QList<qint64> &pids : groups) {
        for (qint64 pid : pids) {
            before.insert(pid, ProcStat::cpuTicks(pid));
        }
    }
    QElapsedTimer timer;
    timer.start();
    QTest::qWait(ms);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double perTick =
        100.0 / double(::sysconf(_SC_CLK_TCK)) / double(::sysconf(_SC_NPROCESSORS_ONLN)) / seconds;
    QJsonObject result;
    double total = 0;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        qint64 used = 0;
        for (qint64 pid : it.value()) {
            const qint64 now = ProcStat::cpuTicks(pid);
            if (now >= 0 && before.value(pid) >= 0) {
                used += now - before.value(pid);
            }
        }
        result.insert(it.key(), double(used) * perTick);
        total += double(used) * perTick;
    }
    result.insert(QStringLiteral("total"), total);
    return result;
}

QMap<QString, QList<qint64>> processGroups(Participant &teacher, Participant &student,
                                           const ClassServers &servers)
{
    return {{QStringLiteral("teacher"), ProcStat::tree(teacher.process.processId())},
            {QStringLiteral("student"), ProcStat::tree(student.process.processId())},
            {QStringLiteral("servers"), servers.pids()}};
}

// Opens the class from the participant's home page; when it was asked, in ms since the epoch.
double openClass(PageDriver &home)
{
    return home
        .evaluate(QStringLiteral("(function () { var t = Date.now();"
                                 " window.brvDemo.send('OpenLive', {liveId: '%1', userType: "
                                 "'Student'}); return t; })()")
                      .arg(liveId))
        .toDouble();
}

// When the class page last received a class state, in ms since the epoch; 0 until it has.
double stateAt(Participant &p, const QString &state)
{
    return p.state(QStringLiteral("s.stateAt['%1'] || 0").arg(state)).toDouble();
}

int fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "bench_class: %s %s\n", what, qPrintable(detail));
    return 1;
}

// A teacher opens the class from the home page and starts it once in the class's group: the
// times to the group and to the room, the driver's delay in pressing start left out; empty when
// the class was not reached.
QJsonObject teacherOpensAndStarts(Participant &teacher, PageDriver &home)
{
    const double opened = openClass(home);
    if (!teacher.attachClass() ||
        !teacher.waitState(QStringLiteral("!!s.stateAt.JoinGroupSuccess"))) {
        return {};
    }
    const double joined = stateAt(teacher, QStringLiteral("JoinGroupSuccess"));
    const double pressed =
        teacher.page
            .evaluate(QStringLiteral("(function () { var t = Date.now();"
                                     " document.getElementById('start-live').click(); return t; "
                                     "})()"))
            .toDouble();
    if (!teacher.waitState(QStringLiteral("!!s.stateAt.EnterRoomSuccess"))) {
        return {};
    }
    const double entered = stateAt(teacher, QStringLiteral("EnterRoomSuccess"));
    return {{QStringLiteral("open_to_join_group_ms"), joined - opened},
            {QStringLiteral("start_to_enter_room_ms"), entered - pressed},
            {QStringLiteral("open_to_enter_room_ms"), (joined - opened) + (entered - pressed)}};
}

bool attachHome(Participant &p, PageDriver &home)
{
    return home.attach(p.port, 90000) && home.waitReady();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QJsonObject result;
    // The class role comes from the class data; "Student" as the opening type only skips the
    // device test, a native window that this driver cannot press.
    const QString teacherUser = QStringLiteral("demo-teacher-01:Demo Teacher:Student");
    {
        Participant alone(QStringLiteral("alone"));
        PageDriver home;
        if (!alone.start(teacherUser, QProcessEnvironment()) || !attachHome(alone, home)) {
            return fail("the teacher alone did not start");
        }
        QTest::qWait(5000);
        const QJsonObject times = teacherOpensAndStarts(alone, home);
        alone.stop();
        if (times.isEmpty()) {
            return fail("the teacher alone did not reach the room", alone.page.error);
        }
        result.insert(QStringLiteral("alone"), times);
    }

    ClassServers servers;
    if (!servers.start()) {
        return fail("the class servers did not start:", servers.error);
    }
    Participant teacher(QStringLiteral("teacher"));
    Participant student(QStringLiteral("student"));
    if (!teacher.start(teacherUser, servers.env) ||
        !student.start(QStringLiteral("demo-student-01:Demo Student 1:Student"), servers.env)) {
        return fail("a client did not start");
    }
    const auto stopBoth = qScopeGuard([&] {
        teacher.stop();
        student.stop();
    });
    PageDriver teacherHome;
    PageDriver studentHome;
    if (!attachHome(teacher, teacherHome) || !attachHome(student, studentHome)) {
        return fail("a home page did not come up");
    }
    QTest::qWait(5000);
    result.insert(QStringLiteral("cpu_home"),
                  cpuOver(processGroups(teacher, student, servers), 20000));

    // The teacher opens the class and starts it.
    const QJsonObject times = teacherOpensAndStarts(teacher, teacherHome);
    if (times.isEmpty()) {
        return fail("the teacher did not reach the room", teacher.page.error);
    }
    result.insert(QStringLiteral("teacher"), times);

    // The student arrives in the class that is on.
    const double studentOpen = openClass(studentHome);
    if (!student.attachClass() ||
        !student.waitState(QStringLiteral("!!s.stateAt.EnterRoomSuccess"))) {
        return fail("the student did not enter the room", student.page.error);
    }
    result.insert(
        QStringLiteral("student"),
        QJsonObject{{QStringLiteral("open_to_join_group_ms"),
                     stateAt(student, QStringLiteral("JoinGroupSuccess")) - studentOpen},
                    {QStringLiteral("open_to_enter_room_ms"),
                     stateAt(student, QStringLiteral("EnterRoomSuccess")) - studentOpen}});

    // Both cameras on: the teacher's is on since the class started; the teacher opens the
    // student's, and each sees the other.
    if (!teacher.waitState(
            QStringLiteral("!!document.getElementById('open-cam-demo-student-01')"))) {
        return fail("the teacher's page offers no control of the student's camera");
    }
    teacher.click(QStringLiteral("open-cam-demo-student-01"));
    if (!teacher.install.waitForLog("Live-trtc-onFirstVideoFrame \"demo-student-01\"", 1, 30000) ||
        !student.install.waitForLog("Live-trtc-onFirstVideoFrame \"demo-teacher-01\"", 1, 30000)) {
        return fail("the two cameras do not reach each other");
    }
    QTest::qWait(5000);
    result.insert(QStringLiteral("cpu_class"),
                  cpuOver(processGroups(teacher, student, servers), 20000));
    result.insert(QStringLiteral("cores"), int(::sysconf(_SC_NPROCESSORS_ONLN)));

    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
    return 0;
}
