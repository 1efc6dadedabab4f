#include "Admin.h"

#include "brv_im.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace brvim {

const char *const adminUserId = "admin";

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

QByteArray historyFile(const std::vector<Message> &history, const char *kind)
{
    QJsonArray out;
    for (const Message &m : history) {
        for (const Element &e : m.elems) {
            if (e.type != TIM_ELEM_CUSTOM || e.desc != kind)
                continue;
            out.append(QJsonObject{{QStringLiteral("sender"), qs(m.sender)},
                                   {QStringLiteral("seq"), double(m.seq)},
                                   {QStringLiteral("time"), double(m.serverTime)},
                                   {QStringLiteral("desc"), qs(e.desc)},
                                   {QStringLiteral("data"), qs(e.text)}});
        }
    }
    return QJsonDocument(out).toJson(QJsonDocument::Compact);
}

} // namespace

std::vector<Message> adminAnswers(const Message &request, const AdminView &view)
{
    std::vector<Message> answers;
    for (const Element &e : request.elems) {
        if (e.type != TIM_ELEM_CUSTOM)
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(e.text));
        if (!doc.isObject())
            continue;
        const QJsonObject cmd = doc.object();
        const QString command = cmd.value(QStringLiteral("command")).toString();
        const QString liveId = cmd.value(QStringLiteral("liveId")).toString();
        const QString requestId = cmd.value(QStringLiteral("requestId")).toString();
        const std::string group = liveId.toStdString();
        QString answer;
        QByteArray body;
        std::string name;
        if (command == QLatin1String("GetHistoryChatMsg")) {
            answer = QStringLiteral("HistoryChatMsg");
            body = historyFile(view.history(group), "ChatMsg");
            name = "chat-";
        } else if (command == QLatin1String("GetHistoryBoardMsg")) {
            answer = QStringLiteral("HistoryBoardMsg");
            body = historyFile(view.history(group), "BoardCommand");
            name = "board-";
        } else if (command == QLatin1String("GetOnlineLiveUser")) {
            answer = QStringLiteral("OnlineLiveUser");
            QJsonArray users;
            for (const std::string &u : view.members(group))
                users.append(QJsonObject{{QStringLiteral("userId"), qs(u)}});
            body = QJsonDocument(users).toJson(QJsonDocument::Compact);
            name = "online-";
        } else {
            continue;
        }
        name += requestId.toStdString() + ".json";
        const std::string url = view.publish(name, body.toStdString());
        Message a;
        a.convType = TIM_CONV_C2C;
        a.target = request.sender;
        a.sender = adminUserId;
        a.msgId = newMessageId();
        a.rand = newRand();
        a.clientTime = nowSeconds();
        a.serverTime = nowSeconds();
        Element el;
        el.type = TIM_ELEM_CUSTOM;
        el.desc = e.desc;
        el.text = QJsonDocument(QJsonObject{{QStringLiteral("command"), answer},
                                            {QStringLiteral("liveId"), liveId},
                                            {QStringLiteral("requestId"), requestId},
                                            {QStringLiteral("fileUrl"), qs(url)}})
                      .toJson(QJsonDocument::Compact)
                      .toStdString();
        a.elems.push_back(std::move(el));
        answers.push_back(std::move(a));
    }
    return answers;
}

} // namespace brvim
