// Page messages are outside input: random function names and parameters go through the whole
// slotWebMsg chain of a window, as a page of the service would send them.
#include "PageParam.h"
#include "XDialog.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// Names the layers act on, so that most inputs reach real handling.
const char *const knownNames[] = {"LoadFinished", "min",      "max",       "restore",   "close",
                                  "dragStart",    "dragEnd",  "MAX",       "DragStart", "Close",
                                  "SetLiveData",  "OpenLive", "UpgradeNow"};
constexpr size_t knownCount = sizeof(knownNames) / sizeof(knownNames[0]);

class FuzzDialog : public XDialog
{
public:
    int closes = 0;
    int drags = 0;
    void closeEx() override { ++closes; }
    void dragFinished() override { ++drags; }
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
