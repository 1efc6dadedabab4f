// Page messages are outside input: random function names and parameters go through the whole
// slotWebMsg chain of a window, as a page of the service would send them.
#include "LiveTrtcDlg.h"
#include "PageParam.h"
#include "XDialog.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// Names the layers act on, so that most inputs reach real handling.
const char *const knownNames[] = {
    "LoadFinished", "min",      "max",        "restore",      "close",
    "dragStart",    "dragEnd",  "MAX",        "DragStart",    "Close",
    "SetLiveData",  "OpenLive", "UpgradeNow", "SetLiveState", "OnlineLiveUser",
    "GroupTips"};
constexpr size_t knownCount = sizeof(knownNames) / sizeof(knownNames[0]);

class FuzzDialog : public XDialog
{
public:
    int closes = 0;
    int drags = 0;
    void closeEx() override { ++closes; }
    void dragFinished() override { ++drags; }
};

// The live window's layers with the SDK steps left out: the class data, the state machine, the
// online-user file and the group tips take the page's text as it comes.
class FuzzLiveDlg : public LiveTrtcDlg
{
public:
    void initIm() override {}
    void loginIm() override {}
    void logoutIm() override {}
    void joinGroup() override {}
    void quitGroup() override {}
    void enterRoom() override {}
    void startLocalAudio() override {}
    void stopLocalAudio() override {}
    void sendC2CLiveCommand(const QString &, const QString &) override {}
    void sendC2CBoardCommand(const QString &, const QString &) override {}
    void sendC2CImCommand(const QString &, const QString &) override {}
    void sendGroupLiveCommand(const QJsonObject &) override {}
    void sendGroupLiveCommand(const QString &) override {}
    void closeEx() override {}

    void slotWebMsg(const QString &funcName, const QString &param) override
    {
        if (funcName == QLatin1String("SetLiveData")) {
            setLiveData(param);
        } else if (funcName == QLatin1String("SetLiveState")) {
            isClosing = param.size() % 2 == 1;
            setLiveState(param);
            if (liveState != param) {
                std::abort();
            }
        } else if (funcName == QLatin1String("OnlineLiveUser")) {
            applyOnlineUsers(param.toUtf8());
        } else if (funcName == QLatin1String("GroupTips")) {
            onGroupTipsEventCallback(param.toUtf8().constData());
        }
        LiveTrtcDlg::slotWebMsg(funcName, param);
        check();
    }

    // Every student is stored under its own id.
    void check() const
    {
        for (const auto *list : {&onlineStudentList, &offlineStudentList}) {
            for (auto it = list->constBegin(); it != list->constEnd(); ++it) {
                if (it.key() != it.value().userId) {
                    std::abort();
                }
            }
        }
    }
};

QApplication *app = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_webmsg";
    static char *argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    FuzzDialog window;
    window.resize(400, 300);
    FuzzLiveDlg live;
    int queued = 0;
    // One message per line: a selector byte picks a known name, or the text up to a tab is the
    // name; the rest of the line is the parameter.
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QString funcName;
        QString param;
        const auto selector = static_cast<unsigned char>(line.at(0));
        if (selector < knownCount) {
            funcName = QString::fromLatin1(knownNames[selector]);
            param = QString::fromUtf8(line.mid(1));
        } else {
            const int tab = line.indexOf('\t');
            funcName = QString::fromUtf8(tab < 0 ? line : line.left(tab));
            param = tab < 0 ? QString() : QString::fromUtf8(line.mid(tab + 1));
        }
        window.slotWebMsg(funcName, param);
        live.slotWebMsg(funcName, param);
        // Replies to the page queue up while it has no bridge, whatever it said.
        window.sendWebMsg(funcName, param);
        ++queued;
        if (window.pendingMessages().size() != queued) {
            std::abort();
        }
        // What a page sends as the parameter is never trusted as cipher text either.
        PageParam::decode(param);
    }
    window.slotWebMsg(QStringLiteral("dragEnd"), QString());
    if (window.isPageDragging()) {
        std::abort();
    }
    // The drag offset stays within what a screen can hold, however large the numbers were.
    const QPoint position = window.pos();
    if (qAbs(position.x()) > 1000000 || qAbs(position.y()) > 1000000) {
        std::abort();
    }
    return 0;
}
