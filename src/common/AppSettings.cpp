#include "AppSettings.h"

#include "JsonUtil.h"
#include "PathUtil.h"

#include <QDebug>
#include <QFileInfo>
#include <QJsonValue>
#include <QSettings>

QString AppSettingsKey::deviceEnable(int type)
{
    return QString(deviceEnablePattern).arg(type);
}

QString AppSettingsKey::deviceCurrId(int type)
{
    return QString(deviceCurrIdPattern).arg(type);
}

namespace {
// One table per record: the JSON name of each field is its member name, and both directions
// walk the same table so that they cannot drift apart.
template <typename Record> struct StringField
{
    const char *name;
    QString Record::*member;
};
template <typename Record> struct IntField
{
    const char *name;
    int Record::*member;
};

const StringField<UserInfo> userStringFields[] = {
    {"userId", &UserInfo::userId},
    {"nickname", &UserInfo::nickname},
    {"trueName", &UserInfo::trueName},
    {"password", &UserInfo::password},
    {"avatarUrl", &UserInfo::avatarUrl},
    {"genderCode", &UserInfo::genderCode},
    {"mobile", &UserInfo::mobile},
    {"idcard", &UserInfo::idcard},
    {"birthday", &UserInfo::birthday},
    {"followWx", &UserInfo::followWx},
    {"schoolYear", &UserInfo::schoolYear},
    {"country", &UserInfo::country},
    {"province", &UserInfo::province},
    {"city", &UserInfo::city},
    {"district", &UserInfo::district},
    {"address", &UserInfo::address},
    {"weixin", &UserInfo::weixin},
    {"email", &UserInfo::email},
    {"tel", &UserInfo::tel},
    {"weibo", &UserInfo::weibo},
    {"qq", &UserInfo::qq},
    {"signature", &UserInfo::signature},
    {"inviteUserId", &UserInfo::inviteUserId},
    {"deleteState", &UserInfo::deleteState},
    {"deleteTime", &UserInfo::deleteTime},
    {"createTime", &UserInfo::createTime},
    {"updateTime", &UserInfo::updateTime},
};
const IntField<UserInfo> userIntFields[] = {
    {"autoReportLog", &UserInfo::autoReportLog},
};

const StringField<LocationInfo> locationStringFields[] = {
    {"country", &LocationInfo::country},   {"countryId", &LocationInfo::countryId},
    {"province", &LocationInfo::province}, {"city", &LocationInfo::city},
    {"cityId", &LocationInfo::cityId},     {"district", &LocationInfo::district},
    {"isp", &LocationInfo::isp},           {"ip", &LocationInfo::ip},
};

const StringField<DeviceTestConfig> deviceTestStringFields[] = {
    {"userId", &DeviceTestConfig::userId},
    {"userSig", &DeviceTestConfig::userSig},
};
const IntField<DeviceTestConfig> deviceTestIntFields[] = {
    {"sdkAppId", &DeviceTestConfig::sdkAppId},
};

const IntField<BeautyStyle> beautyIntFields[] = {
    {"smoothStyle", &BeautyStyle::smoothStyle},
    {"beautyLevel", &BeautyStyle::beautyLevel},
    {"whitenessLevel", &BeautyStyle::whitenessLevel},
    {"ruddinessLevel", &BeautyStyle::ruddinessLevel},
};

template <typename Record, std::size_t N>
void readStrings(Record &record, const QJsonObject &obj, const StringField<Record> (&fields)[N])
{
    for (const auto &field : fields) {
        const auto it = obj.constFind(QLatin1String(field.name));
        if (it != obj.constEnd()) {
            // A number, boolean or null under a string key gives an empty string.
            record.*field.member = it.value().toString();
        }
    }
}

template <typename Record, std::size_t N>
void readInts(Record &record, const QJsonObject &obj, const IntField<Record> (&fields)[N])
{
    for (const auto &field : fields) {
        const auto it = obj.constFind(QLatin1String(field.name));
        if (it != obj.constEnd()) {
            // A string under an integer key gives 0.
            record.*field.member = it.value().toInt(0);
        }
    }
}

template <typename Record, std::size_t N>
void writeStrings(const Record &record, QJsonObject &obj, const StringField<Record> (&fields)[N])
{
    for (const auto &field : fields) {
        obj.insert(QLatin1String(field.name), record.*field.member);
    }
}

template <typename Record, std::size_t N>
void writeInts(const Record &record, QJsonObject &obj, const IntField<Record> (&fields)[N])
{
    for (const auto &field : fields) {
        obj.insert(QLatin1String(field.name), record.*field.member);
    }
}

// A fresh QSettings per call, as the callers on every thread expect. QSettings shares one
// parsed copy of the file per process behind its own mutex and merges on sync, so no lock of
// ours is needed (tst_appsettings checks concurrent writers).
QSettings registryStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brimvale"),
                     QStringLiteral("settings"));
}

const QString iniName = QStringLiteral("brimvale.ini");

// A write that does not reach the file is said so; the caller carries on with what it has.
void reportWrite(QSettings &settings, const char *origin, const QString &key)
{
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qWarning() << origin << "cannot write" << key << "to" << settings.fileName()
                   << (settings.status() == QSettings::AccessError ? "(access error)"
                                                                   : "(format error)");
    }
}

QJsonObject storedObject(const QString &key)
{
    return JsonUtil::str2Json(AppSettings::value(key).toString());
}

void storeObject(const QString &key, const QJsonObject &obj)
{
    AppSettings::setValue(key, JsonUtil::toCompactString(obj));
}
} // namespace

void UserInfo::readJson(const QJsonObject &obj)
{
    readStrings(*this, obj, userStringFields);
    readInts(*this, obj, userIntFields);
}

UserInfo UserInfo::fromJson(const QJsonObject &obj)
{
    UserInfo info;
    info.readJson(obj);
    return info;
}

QJsonObject UserInfo::toJson() const
{
    // The password arrives with the profile but nothing reads it back; it stays out of the
    // settings store.
    QJsonObject obj;
    writeStrings(*this, obj, userStringFields);
    writeInts(*this, obj, userIntFields);
    obj.remove(QStringLiteral("password"));
    return obj;
}

void LocationInfo::readJson(const QJsonObject &obj)
{
    readStrings(*this, obj, locationStringFields);
}

LocationInfo LocationInfo::fromJson(const QJsonObject &obj)
{
    LocationInfo info;
    info.readJson(obj);
    return info;
}

QJsonObject LocationInfo::toJson() const
{
    QJsonObject obj;
    writeStrings(*this, obj, locationStringFields);
    return obj;
}

void DeviceTestConfig::readJson(const QJsonObject &obj)
{
    readStrings(*this, obj, deviceTestStringFields);
    readInts(*this, obj, deviceTestIntFields);
}

DeviceTestConfig DeviceTestConfig::fromJson(const QJsonObject &obj)
{
    DeviceTestConfig config;
    config.readJson(obj);
    return config;
}

QJsonObject DeviceTestConfig::toJson() const
{
    QJsonObject obj;
    writeStrings(*this, obj, deviceTestStringFields);
    writeInts(*this, obj, deviceTestIntFields);
    return obj;
}

void BeautyStyle::readJson(const QJsonObject &obj)
{
    const auto it = obj.constFind(QStringLiteral("isEnable"));
    if (it != obj.constEnd()) {
        isEnable = it.value().toBool(false);
    }
    readInts(*this, obj, beautyIntFields);
}

BeautyStyle BeautyStyle::fromJson(const QJsonObject &obj)
{
    BeautyStyle style;
    style.readJson(obj);
    return style;
}

QJsonObject BeautyStyle::toJson() const
{
    QJsonObject obj;
    obj.insert(QStringLiteral("isEnable"), isEnable);
    writeInts(*this, obj, beautyIntFields);
    return obj;
}

QVariant AppSettings::value(const QString &key)
{
    return registryStore().value(key);
}

void AppSettings::setValue(const QString &key, const QVariant &value)
{
    QSettings store = registryStore();
    store.setValue(key, value);
    reportWrite(store, "AppSettings::setValue:", key);
}

QString AppSettings::iniFilePath()
{
    return (PathUtil::isAppDirWritable() ? PathUtil::appDir() : PathUtil::userConfigDir()) +
           iniName;
}

QString AppSettings::iniValue(const QString &key, const QString &defaultValue)
{
    const QString path = iniFilePath();
    const QSettings ini(path, QSettings::IniFormat);
    if (ini.contains(key)) {
        return ini.value(key).toString();
    }
    const QString beside = PathUtil::appDir() + iniName;
    if (beside != path && QFileInfo::exists(beside)) {
        return QSettings(beside, QSettings::IniFormat).value(key, defaultValue).toString();
    }
    return defaultValue;
}

void AppSettings::setIniValue(const QString &key, const QVariant &value)
{
    QSettings ini(iniFilePath(), QSettings::IniFormat);
    ini.setValue(key, value);
    reportWrite(ini, "AppSettings::setIniValue:", key);
}

UserInfo AppSettings::userInfo()
{
    return UserInfo::fromJson(storedObject(AppSettingsKey::userInfo));
}

void AppSettings::setUserInfo(const UserInfo &info)
{
    storeObject(AppSettingsKey::userInfo, info.toJson());
}

QString AppSettings::userId()
{
    return userInfo().userId;
}

bool AppSettings::isAutoReportLog()
{
    return userInfo().autoReportLog != 0;
}

LocationInfo AppSettings::location()
{
    return LocationInfo::fromJson(storedObject(AppSettingsKey::location));
}

QString AppSettings::ip()
{
    return location().ip;
}

void AppSettings::setLocation(const LocationInfo &info)
{
    storeObject(AppSettingsKey::location, info.toJson());
}

void AppSettings::setDeviceTestConfig(const DeviceTestConfig &config)
{
    storeObject(AppSettingsKey::deviceTestConfig, config.toJson());
}

void AppSettings::setToken(const QString &token)
{
    setValue(AppSettingsKey::token, token);
}

void AppSettings::setLoginLogId(const QString &id)
{
    setValue(AppSettingsKey::loginLogId, id);
}

QString AppSettings::deviceName()
{
    return value(AppSettingsKey::deviceName).toString();
}

void AppSettings::setDeviceName(const QString &name)
{
    setValue(AppSettingsKey::deviceName, name);
}

QString AppSettings::liveId()
{
    return value(AppSettingsKey::liveId).toString();
}

void AppSettings::setLiveId(const QString &id)
{
    setValue(AppSettingsKey::liveId, id);
}

bool AppSettings::isStudent()
{
    return value(AppSettingsKey::currUserType)
               .toString()
               .compare(QLatin1String("Student"), Qt::CaseInsensitive) == 0;
}

void AppSettings::setCurrUserType(const QString &type)
{
    setValue(AppSettingsKey::currUserType, type);
}

BeautyStyle AppSettings::beautyStyle()
{
    return BeautyStyle::fromJson(storedObject(AppSettingsKey::beautyStyle));
}

void AppSettings::setBeautyStyle(const BeautyStyle &style)
{
    storeObject(AppSettingsKey::beautyStyle, style.toJson());
}

bool AppSettings::isDeviceEnabled(int type)
{
    const QVariant stored = value(AppSettingsKey::deviceEnable(type));
    // The native store on Linux gives back the text "1" or "0", which converts as well.
    return stored.isNull() ? true : stored.toBool();
}

void AppSettings::setDeviceEnabled(int type, bool enabled)
{
    setValue(AppSettingsKey::deviceEnable(type), enabled ? 1 : 0);
}

QString AppSettings::currDeviceId(int type)
{
    return value(AppSettingsKey::deviceCurrId(type)).toString();
}

void AppSettings::setCurrDeviceId(int type, const QString &id)
{
    setValue(AppSettingsKey::deviceCurrId(type), id);
}

bool AppSettings::storeUserData(const QJsonObject &msg, const QString &deviceName)
{
    setToken(JsonUtil::getString(msg, QStringLiteral("token")));

    QString userIdOfMessage;
    const QJsonObject user = JsonUtil::getObject(msg, QStringLiteral("userInfo"));
    if (!user.isEmpty()) {
        const UserInfo info = UserInfo::fromJson(user);
        setUserInfo(info);
        userIdOfMessage = info.userId;
    }

    const QJsonObject place = JsonUtil::getObject(msg, QStringLiteral("location"));
    if (!place.isEmpty()) {
        setLocation(LocationInfo::fromJson(place));
    }

    const QJsonObject test = JsonUtil::getObject(msg, QStringLiteral("deviceTestOption"));
    if (!test.isEmpty()) {
        DeviceTestConfig config = DeviceTestConfig::fromJson(test);
        config.userId = userIdOfMessage;
        setDeviceTestConfig(config);
    }

    setDeviceName(deviceName);

    // Step 6, the log upload, is the caller's; nothing it does reads "loginLogId".
    const bool autoReport = isAutoReportLog();

    setLoginLogId(JsonUtil::getString(msg, QStringLiteral("loginLogId")));
    return autoReport;
}
