#include "Message.h"

#include "brv_im.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <chrono>
#include <random>

namespace brvim {

namespace {

std::mt19937_64 &rng()
{
    thread_local std::mt19937_64 gen{std::random_device{}()};
    return gen;
}

std::string str(const QJsonValue &v)
{
    return v.toString().toUtf8().toStdString();
}

} // namespace

size_t Message::payloadBytes() const
{
    size_t n = 0;
    for (const Element &e : elems)
        n += e.text.size() + e.desc.size() + e.ext.size();
    return n;
}

QJsonObject Message::toJson(const std::string &self) const
{
    QJsonArray arr;
    for (const Element &e : elems) {
        QJsonObject o;
        o.insert(QStringLiteral("elem_type"), e.type);
        if (e.type == TIM_ELEM_TEXT) {
            o.insert(QStringLiteral("text_elem_content"), QString::fromStdString(e.text));
        } else {
            o.insert(QStringLiteral("custom_elem_data"), QString::fromStdString(e.text));
            o.insert(QStringLiteral("custom_elem_desc"), QString::fromStdString(e.desc));
            o.insert(QStringLiteral("custom_elem_ext"), QString::fromStdString(e.ext));
        }
        arr.append(o);
    }
    const bool fromSelf = sender == self;
    const std::string conv = convType == TIM_CONV_GROUP ? target : (fromSelf ? target : sender);
    QJsonObject m;
    m.insert(QStringLiteral("message_conv_id"), QString::fromStdString(conv));
    m.insert(QStringLiteral("message_conv_type"), convType);
    m.insert(QStringLiteral("message_sender"), QString::fromStdString(sender));
    m.insert(QStringLiteral("message_client_time"), double(clientTime));
    m.insert(QStringLiteral("message_server_time"), double(serverTime));
    m.insert(QStringLiteral("message_seq"), double(seq));
    m.insert(QStringLiteral("message_rand"), double(rand));
    m.insert(QStringLiteral("message_msg_id"), QString::fromStdString(msgId));
    m.insert(QStringLiteral("message_is_from_self"), fromSelf);
    m.insert(QStringLiteral("message_elem_array"), arr);
    return m;
}

int parseOutgoing(const char *json, Message &out)
{
    if (!json || !*json)
        return TIM_ERR_PARAM;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(json), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return TIM_ERR_PARAM;
    const QJsonObject o = doc.object();
    const QJsonValue elems = o.value(QStringLiteral("message_elem_array"));
    if (!elems.isArray() || elems.toArray().isEmpty())
        return TIM_ERR_PARAM;
    out.elems.clear();
    for (const QJsonValue &v : elems.toArray()) {
        if (!v.isObject())
            return TIM_ERR_PARAM;
        const QJsonObject e = v.toObject();
        Element el;
        el.type = e.value(QStringLiteral("elem_type")).toInt(-1);
        if (el.type == TIM_ELEM_TEXT) {
            el.text = str(e.value(QStringLiteral("text_elem_content")));
        } else if (el.type == TIM_ELEM_CUSTOM) {
            el.text = str(e.value(QStringLiteral("custom_elem_data")));
            el.desc = str(e.value(QStringLiteral("custom_elem_desc")));
            el.ext = str(e.value(QStringLiteral("custom_elem_ext")));
        } else {
            return TIM_ERR_PARAM;
        }
        out.elems.push_back(std::move(el));
    }
    if (out.payloadBytes() > TIM_MAX_MSG_BYTES)
        return TIM_ERR_MSG_TOO_LARGE;
    out.clientTime = int64_t(o.value(QStringLiteral("message_client_time")).toDouble());
    return TIM_SUCC;
}

std::string newMessageId()
{
    static const char hex[] = "0123456789abcdef";
    std::string id = "brv-";
    for (int i = 0; i < 2; ++i) {
        uint64_t r = rng()();
        for (int k = 0; k < 16; ++k, r >>= 4)
            id += hex[r & 15];
    }
    return id;
}

int64_t newRand()
{
    return int64_t(rng()() & 0x7fffffff);
}

int64_t nowSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

int64_t nowMillis()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

std::string toBase64(const std::string &bytes)
{
    return QByteArray::fromRawData(bytes.data(), int(bytes.size())).toBase64().toStdString();
}

bool fromBase64(const std::string &text, std::string &bytes)
{
    const auto r = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!r)
        return false;
    bytes = r.decoded.toStdString();
    return true;
}

} // namespace brvim
