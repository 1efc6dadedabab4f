// Feeds arbitrary bytes to the settings records the way a stored value or a page's "SetUserData"
// member reaches them, and checks that what a record writes reads back as the same record.
#include "AppSettings.h"
#include "JsonUtil.h"

#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

template <typename Record> void roundTrip(const QJsonObject &obj)
{
    const Record record = Record::fromJson(obj);
    const QString stored = JsonUtil::toCompactString(record.toJson());
    const Record again = Record::fromJson(JsonUtil::str2Json(stored));
    if (JsonUtil::toCompactString(again.toJson()) != stored) {
        std::abort();
    }
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
    const QJsonObject obj = JsonUtil::str2Json(QString::fromUtf8(bytes));
    roundTrip<UserInfo>(obj);
    roundTrip<LocationInfo>(obj);
    roundTrip<DeviceTestConfig>(obj);
    roundTrip<BeautyStyle>(obj);
    // The password is read from the page but never written out.
    if (UserInfo::fromJson(obj).toJson().contains(QStringLiteral("password"))) {
        std::abort();
    }
    // The members of "SetUserData" are records of their own.
    for (const char *member : {"userInfo", "location", "deviceTestOption"}) {
        const QJsonObject inner = JsonUtil::getObject(obj, QLatin1String(member));
        roundTrip<UserInfo>(inner);
        roundTrip<LocationInfo>(inner);
        roundTrip<DeviceTestConfig>(inner);
    }
    return 0;
}
