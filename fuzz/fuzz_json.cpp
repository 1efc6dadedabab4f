// Feeds arbitrary bytes through the lenient JSON layer the way page and SDK messages reach it.
#include "JsonUtil.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

void exerciseGetters(const QJsonObject &obj)
{
    for (auto it = obj.constBegin(); it != obj.constEnd(); ++it) {
        const QString &key = it.key();
        (void)JsonUtil::getString(obj, key, QStringLiteral("def"));
        (void)JsonUtil::getBool(obj, key, true);
        (void)JsonUtil::getDouble(obj, key, 1.0);
        (void)JsonUtil::getArray(obj, key);
        const QJsonObject inner = JsonUtil::getObject(obj, key);
        if (!inner.isEmpty()) {
            (void)JsonUtil::toCompactString(inner);
        }
    }
    (void)JsonUtil::getString(obj, QStringLiteral("missing"));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    // Both decodings the program meets: UTF-8 text, and bytes that arrive as Latin-1.
    const QString texts[] = {QString::fromUtf8(bytes), QString::fromLatin1(bytes)};
    for (const QString &text : texts) {
        const QJsonObject obj = JsonUtil::str2Json(text);
        exerciseGetters(obj);
        const QString compact = JsonUtil::toCompactString(obj);
        // What we write must read back as an object whenever there was something to write.
        if (!JsonUtil::cleanObject(obj).isEmpty() && JsonUtil::str2Json(compact).isEmpty()) {
            std::abort();
        }
        const QJsonArray array = JsonUtil::str2JsonAarry(text);
        for (const QJsonValue &value : array) {
            if (value.isObject()) {
                exerciseGetters(value.toObject());
            }
        }
    }
    return 0;
}
