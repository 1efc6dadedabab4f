#include "LiveBaseData.h"

#include <QJsonValue>
#include <QLocale>

#include <cmath>
#include <limits>

namespace LiveJson {

QString readString(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString();
}

int readInt(const QJsonValue &value)
{
    if (!value.isDouble()) {
        return 0;
    }
    const double number = value.toDouble();
    // A fraction or a value out of range would be cut or overflow; the field is cleared instead.
    if (!std::isfinite(number) || std::trunc(number) != number ||
        number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
        return 0;
    }
    return static_cast<int>(number);
}

double readDouble(const QJsonValue &value)
{
    if (!value.isDouble()) {
        return 0.0;
    }
    const double number = value.toDouble();
    return std::isfinite(number) ? number : 0.0;
}

QString groupDigits(qint64 number)
{
    // Through an unsigned magnitude, so that the smallest 64-bit value has one too.
    const bool negative = number < 0;
    const quint64 magnitude =
        negative ? quint64(0) - static_cast<quint64>(number) : static_cast<quint64>(number);
    const QString digits = QString::number(magnitude);
    QString grouped;
    grouped.reserve(digits.size() + digits.size() / 3 + 1);
    for (int i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += QLatin1Char(' ');
        }
        grouped += digits.at(i);
    }
    return negative ? QLatin1Char('-') + grouped : grouped;
}

} // namespace LiveJson

namespace {

void appendKey(QByteArray &out, const char *key)
{
    out += out.size() > 1 ? ",\"" : "\"";
    out += key;
    out += "\":";
}

// As the JSON writer escapes: quote, backslash and control characters; the rest as UTF-8.
void appendString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += hex[u >> 4];
                out += hex[u & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendDouble(QByteArray &out, double number)
{
    // Whole numbers as integers, as the JSON writer prints them.
    if (std::trunc(number) == number && std::fabs(number) < 9007199254740992.0) {
        out += QByteArray::number(static_cast<qint64>(number));
    } else {
        out += QByteArray::number(number, 'g', QLocale::FloatingPointShortest);
    }
}

// One lookup per key: a record's fromJson runs once per student of a class list.
#define BRV_READ_STRING(name)                                                                      \
    if (const auto it = obj.constFind(QLatin1String(#name)); it != obj.constEnd()) {               \
        name = LiveJson::readString(it.value());                                                   \
    }
#define BRV_READ_INT(name)                                                                         \
    if (const auto it = obj.constFind(QLatin1String(#name)); it != obj.constEnd()) {               \
        name = LiveJson::readInt(it.value());                                                      \
    }
#define BRV_READ_DOUBLE(name)                                                                      \
    if (const auto it = obj.constFind(QLatin1String(#name)); it != obj.constEnd()) {               \
        name = LiveJson::readDouble(it.value());                                                   \
    }
#define BRV_WRITE(name) obj.insert(QLatin1String(#name), name);
#define BRV_TEXT_STRING(name)                                                                      \
    if (!name.isEmpty()) {                                                                         \
        appendKey(out, #name);                                                                     \
        appendString(out, name);                                                                   \
    }
#define BRV_TEXT_INT(name)                                                                         \
    appendKey(out, #name);                                                                         \
    out += QByteArray::number(name);
#define BRV_TEXT_DOUBLE(name)                                                                      \
    appendKey(out, #name);                                                                         \
    appendDouble(out, name);

} // namespace

#define BRV_LIVE_RECORD_JSON(Type, FIELDS)                                                         \
    void Type::fromJson(const QJsonObject &obj){                                                   \
        FIELDS(BRV_READ_STRING, BRV_READ_INT, BRV_READ_DOUBLE)} QJsonObject                        \
    Type::toJson() const                                                                           \
    {                                                                                              \
        QJsonObject obj;                                                                           \
        FIELDS(BRV_WRITE, BRV_WRITE, BRV_WRITE)                                                    \
        return obj;                                                                                \
    }                                                                                              \
    QString Type::toCompactText() const                                                            \
    {                                                                                              \
        QByteArray out;                                                                            \
        out.reserve(1024);                                                                         \
        out += '{';                                                                                \
        FIELDS(BRV_TEXT_STRING, BRV_TEXT_INT, BRV_TEXT_DOUBLE)                                     \
        out += '}';                                                                                \
        return QString::fromUtf8(out);                                                             \
    }

BRV_LIVE_RECORD_JSON(ClassInfo, BRV_CLASS_INFO_FIELDS)
BRV_LIVE_RECORD_JSON(LiveInfo, BRV_LIVE_INFO_FIELDS)
BRV_LIVE_RECORD_JSON(LiveSettings, BRV_LIVE_SETTINGS_FIELDS)
BRV_LIVE_RECORD_JSON(LiveUser, BRV_LIVE_USER_FIELDS)
BRV_LIVE_RECORD_JSON(LiveWatchData, BRV_LIVE_WATCH_DATA_FIELDS)
