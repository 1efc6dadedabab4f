// A teacher alone in a class without servers (IM embedded, the room of one): the memory of the
// same client at home and then in class, the teacher starting the class the moment the window is
// in the class's group. (Times are measured on the real client, by bench_class.) One JSON line
// on standard output.
#include "DemoService.h"
#include "GlobalSignal.h"
#include "HomeDlg.h"
#include "LiveDlg.h"
#include "ProcStat.h"
#include "ThemeStyle.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWidget>
#include <QtWebEngine>

#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace {

std::atomic<bool> joinedGroup{false};
std::atomic<bool> enteredRoom{false};
QtMessageHandler previousHandler = nullptr;

void watchLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("Live-state-setLiveState")) &&
        message.contains(QLatin1String("\"EnterRoomSuccess\""))) {
        enteredRoom = true;
    }
    if (message.startsWith(QLatin1String("Live-state-setLiveState")) &&
        message.contains(QLatin1String("\"JoinGroupSuccess\""))) {
        joinedGroup = true;
    }
    if (qEnvironmentVariableIsSet("BRV_BENCH_VERBOSE") && previousHandler != nullptr) {
        previousHandler(type, context, message);
    }
}

// A field of /proc/PID/smaps_rollup, in kB.
qint64 rollup(qint64 pid, const QByteArray &field)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(field + ':')) {
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

QJsonObject memory()
{
    qint64 rss = 0;
    qint64 pss = 0;
    for (qint64 pid : ProcStat::tree(qint64(::getpid()))) {
        rss += rollup(pid, "Rss");
        pss += rollup(pid, "Pss");
    }
    return QJsonObject{{QStringLiteral("rss_kb"), rss}, {QStringLiteral("pss_kb"), pss}};
}

// Runs the event loop until done() or the time is up; false on timeout.
template <typename Done> bool waitFor(Done done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(2000);
    }
    return true;
}

void settle(int ms)
{
    waitFor([] { return false; }, ms);
}

} // namespace

int main(int argc, char **argv)
{
    const QString liveId =
        qEnvironmentVariable("BRV_BENCH_LIVE_ID", QStringLiteral("demo-live-1001"));
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    DemoService::registerScheme();
    QtWebEngine::initialize();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brimvale"));
    ThemeStyle::instance()->generateSkinImages();
    app.setStyleSheet(ThemeStyle::instance()->appStyleSheet());
    DemoService::install();
    previousHandler = qInstallMessageHandler(watchLog);

    QJsonObject result{{QStringLiteral("live_id"), liveId}};
    {
        HomeDlg home(nullptr);
        // At home: the home page loaded and shown, then a quiet moment.
        if (!waitFor([&home] { return home.isPageReady() && home.isVisible(); }, 60000)) {
            std::fprintf(stderr, "bench_classroom: the home page did not come up\n");
            return 1;
        }
        settle(5000);
        result.insert(QStringLiteral("home"), memory());

        GlobalSignal::Instance()->notify(QStringLiteral("Signal_OpenLive"), liveId);
        // The class has not started: the teacher starts it as soon as the window is in the
        // class's group, as a click on the page's start control does.
        if (!waitFor([] { return joinedGroup.load(); }, 60000)) {
            std::fprintf(stderr, "bench_classroom: the class did not reach JoinGroupSuccess\n");
            return 1;
        }
        LiveDlg *live = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *candidate = qobject_cast<LiveDlg *>(widget)) {
                live = candidate;
            }
        }
        if (live == nullptr) {
            std::fprintf(stderr, "bench_classroom: no live window\n");
            return 1;
        }
        live->slotLiveCommand(QStringLiteral(R"({"command":"StartLive"})"));
        if (!waitFor([] { return enteredRoom.load(); }, 60000)) {
            std::fprintf(stderr, "bench_classroom: the class did not reach EnterRoomSuccess\n");
            return 1;
        }
        settle(5000);
        result.insert(QStringLiteral("in_class"), memory());
    }
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    return 0;
}
