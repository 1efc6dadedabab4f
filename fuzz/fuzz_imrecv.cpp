// Received IM messages are outside input: any peer or server can put anything in them. A batch is
// the input taken as a JSON array, or, when it is not one, built line by line (a selector byte
// picks kind, conversation and sender, the rest is the element data). The receive task must
// publish only well-formed events, never the user's own messages, never another class's chat.
#include "AppSettings.h"
#include "GlobalSignal.h"
#include "JsonUtil.h"
#include "RecvImMsgTask.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

const QString me = QStringLiteral("teacher1");
const QString classId = QStringLiteral("live-42");

class Tap : public QObject
{
    Q_OBJECT

public:
    explicit Tap(const QString &name) : name(name) {}
    QString name;
    static QList<QPair<QString, QString>> events;

public slots:
    void slotEvent(const QString &param) { events.append({name, param}); }
};
QList<QPair<QString, QString>> Tap::events;

const char *const kinds[] = {"ChatMsg",   "chatmsg",      "LiveCommand", "BOARDCOMMAND",
                             "ImCommand", "CloudCommand", "Other",       ""};
const char *const convs[] = {"live-42", "live-41", "admin", ""};
const char *const senders[] = {"s7", "teacher1", "admin", ""};

QJsonArray buildBatch(const QByteArray &bytes)
{
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (doc.isArray()) {
        return doc.array();
    }
    QJsonArray batch;
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const auto s = static_cast<unsigned char>(line.at(0));
        QJsonObject elem{{"elem_type", (s & 0x80) ? 5 : 3},
                         {"custom_elem_desc", QString::fromLatin1(kinds[s & 7])},
                         {"custom_elem_data", QString::fromUtf8(line.mid(1))}};
        batch.append(QJsonObject{{"message_conv_id", QString::fromLatin1(convs[(s >> 3) & 3])},
                                 {"message_conv_type", (s >> 5) & 3},
                                 {"message_sender", QString::fromLatin1(senders[(s >> 5) & 3])},
                                 {"message_seq", static_cast<int>(s) * 1000003},
                                 {"message_server_time", -static_cast<int>(s)},
                                 {"message_elem_array", QJsonArray{elem}}});
    }
    return batch;
}

int customElements(const QJsonArray &batch)
{
    int count = 0;
    for (const QJsonValue &message : batch) {
        const QJsonArray elems = message.toObject().value("message_elem_array").toArray();
        for (const QJsonValue &elem : elems) {
            const QJsonValue type = elem.toObject().value("elem_type");
            count += type.isDouble() && type.toDouble() == 3.0;
        }
    }
    return count;
}

void check(bool ok)
{
    if (!ok) {
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    static int argc = 1;
    static char name[] = "fuzz_imrecv";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    UserInfo user;
    user.userId = me;
    AppSettings::setUserInfo(user);
    AppSettings::setLiveId(classId);
    for (const QString &event :
         {ImSignal::RecvLiveChatMsg, ImSignal::RemoteLiveCommand, ImSignal::RemoteBoardCommand,
          ImSignal::RemoteImCommand, ImSignal::CloudCommandMain, ImSignal::CloudCommandLive}) {
        GlobalSignal::Instance()->add(event, new Tap(event), SLOT(slotEvent(QString)));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QJsonArray batch =
        buildBatch(QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size)));
    Tap::events.clear();
    RecvImMsgTask task(batch);
    task.setAutoDelete(false);
    task.run();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);

    // A cloud command gives two events, anything else one at most.
    check(Tap::events.size() <= 2 * customElements(batch));
    for (int i = 0; i < Tap::events.size(); ++i) {
        const auto &event = Tap::events.at(i);
        const QJsonDocument doc = QJsonDocument::fromJson(event.second.toUtf8());
        check(doc.isObject());
        const QJsonObject payload = doc.object();
        check(JsonUtil::toCompactString(payload) == event.second);
        if (event.first == ImSignal::RecvLiveChatMsg) {
            check(payload.value("convId").toString() == classId);
            check(payload.value("senderId").toString() != me);
        } else {
            check(payload.value("sender").toString() != me);
            check(!payload.contains("data") || payload.value("data").isObject());
        }
        if (event.first == ImSignal::CloudCommandMain) {
            check(i + 1 < Tap::events.size() &&
                  Tap::events.at(i + 1).first == ImSignal::CloudCommandLive &&
                  Tap::events.at(i + 1).second == event.second);
        }
    }
    return 0;
}

#include "fuzz_imrecv.moc"
