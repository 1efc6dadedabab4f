// Packing a full upload's worth of logs (50 MiB) into the data URL, against "zip -q -6" on the same
// files plus "base64" of its archive, measured in the same run.
#include "LogUtil.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {
const int files = 5;
const int rounds = 7;

// Lines as the client writes them: a few origins repeat a lot, ids and payloads vary.
QByteArray logFile(std::mt19937 &rng, qint64 &msecs)
{
    static const char *const origins[] = {
        "HomeDlg::slotWebMsg",       "XWebDialog::slotWebMsg", "Live-trtc-onEnterRoom",
        "live-im-sendGroupChatMsg",  "LiveStateDlg::setState", "Live-trtc-onUserVideoAvailable",
        "DeviceTestDlg::refreshMic", "JsBridge::sendMsg",      "ImCallback::onRecvNewMsg"};
    static const char *const levels[] = {"Debug", "Debug", "Debug", "Info", "Info", "Warning"};
    static const char *const texts[] = {
        "收到网页消息 func= \"SetLiveState\" param= {\"state\":\"live\",\"liveId\":%1,\"seq\":%2}",
        "send to page \"SetCameraViewRects\" "
        "{\"rects\":[{\"x\":%1,\"y\":%2,\"w\":320,\"h\":180}]}",
        "进入房间成功 roomId= %1 elapsed= %2 ms",
        "sendGroupChatMsg groupId= \"@TGS#%1\" msgId= \"%2-144115\" code= 0",
        "onUserVideoAvailable userId= \"t_%1\" streamType= %2 available= true",
        "microphone volume= %1 device= \"{0.0.1.00000000}.{%2-4f1c-9b7e}\"",
        "网络质量 quality= %1 upLoss= %2 downLoss= 0",
        "recv custom msg kind= \"LiveCommand\" data= {\"cmd\":\"mute\",\"uid\":%1,\"seq\":%2}"};
    std::uniform_int_distribution<int> pick(0, 1 << 30);
    QByteArray data;
    data.reserve(int(LogUtil::maxFileSize) + 512);
    while (data.size() < LogUtil::maxFileSize) {
        msecs += pick(rng) % 400;
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(msecs);
        const QString text =
            QString::fromUtf8(texts[pick(rng) % 8]).arg(pick(rng) % 100000).arg(pick(rng) % 1000);
        data += '[' + at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toLatin1() + "][" +
                levels[pick(rng) % 6] + "][" + origins[pick(rng) % 9] + "] " + text.toUtf8() +
                "\r\n";
    }
    data.truncate(int(LogUtil::maxFileSize));
    return data;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool run(const QString &program, const QStringList &args, const QString &dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

int main(int argc, char *argv[])
{
    // A private data directory, so that the user's own logs are never packed.
    QTemporaryDir root;
    if (!root.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("data"))));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brimvale-bench"));

    const QString zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
    const QString base64 = QStandardPaths::findExecutable(QStringLiteral("base64"));
    if (zip.isEmpty() || base64.isEmpty()) {
        std::fprintf(stderr, "zip and base64 are needed\n");
        return 1;
    }

    const QString logDir = LogUtil::logDir();
    QDir().mkpath(logDir);
    std::mt19937 rng(20261209);
    qint64 msecs = QDateTime(QDate(2026, 12, 9), QTime(10, 0)).toMSecsSinceEpoch();
    QStringList names;
    for (int i = 0; i < files; ++i) {
        const QString name = LogUtil::logFileName(QStringLiteral("20261209"), i);
        QFile f(logDir + name);
        if (!f.open(QIODevice::WriteOnly) || f.write(logFile(rng, msecs)) != LogUtil::maxFileSize) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
        names << name;
    }

    const QString peerZip = root.filePath(QStringLiteral("peer.zip"));
    auto ours = [&]() {
        return LogUtil::logZipDataUrl().size();
    };
    auto peer = [&]() {
        QFile::remove(peerZip); // zip would update an existing archive
        return run(zip, QStringList{QStringLiteral("-q"), QStringLiteral("-6"), peerZip} + names,
                   logDir) &&
               run(base64, {QStringLiteral("-w0"), peerZip}, logDir);
    };
    // One untimed round each, so both read the files from the page cache.
    if (ours() == 0 || !peer()) {
        std::fprintf(stderr, "a side failed\n");
        return 1;
    }

    std::vector<double> oursMs, peerMs;
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        // Alternate who goes first, so that neither always meets a warmer machine.
        for (int side = 0; side < 2; ++side) {
            const bool oursNow = (side == 0) == (i % 2 == 0);
            timer.start();
            const bool ok = oursNow ? ours() > 0 : peer();
            const double ms = timer.nsecsElapsed() / 1e6;
            if (!ok) {
                std::fprintf(stderr, "a side failed\n");
                return 1;
            }
            (oursNow ? oursMs : peerMs).push_back(ms);
        }
    }

    const QFileInfoList archives =
        QDir(logDir).entryInfoList({QStringLiteral("*.zip")}, QDir::Files);
    const double o = median(oursMs), p = median(peerMs);
    std::printf("log zip to data URL, %d MiB of logs: ours %.0f ms (archive %.1f MiB), zip -6 + "
                "base64 %.0f ms (archive %.1f MiB), ratio %.2f (limit 1.20)\n",
                int(files * LogUtil::maxFileSize >> 20), o,
                archives.isEmpty() ? 0.0 : archives.first().size() / 1048576.0, p,
                QFileInfo(peerZip).size() / 1048576.0, o / p);
    return 0;
}
