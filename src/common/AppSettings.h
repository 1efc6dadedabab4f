#pragma once

#include <QJsonObject>
#include <QLatin1String>
#include <QString>
#include <QVariant>

// Every settings key of the program, in one place. This module owns the settings format, so the
// keys read and written by other modules are listed here too.
namespace AppSettingsKey {
// QLatin1String(const char *) needs a constexpr strlen, which clang does not give.
template <int N> constexpr QLatin1String key(const char (&text)[N])
{
    return QLatin1String(text, N - 1);
}

// Registry store (QSettings native format, user scope, "brimvale"/"settings").
constexpr QLatin1String userInfo = key("userInfo");
constexpr QLatin1String location = key("location");
constexpr QLatin1String deviceTestConfig = key("deviceTestConfig");
constexpr QLatin1String token = key("token");
constexpr QLatin1String loginLogId = key("loginLogId");
constexpr QLatin1String deviceName = key("deviceName");
constexpr QLatin1String liveId = key("live/liveId");
constexpr QLatin1String currUserType = key("live/currUserType");
constexpr QLatin1String beautyStyle = key("live/beautyStyle");
constexpr QLatin1String deviceEnablePattern = key("device/enable%1");
constexpr QLatin1String deviceCurrIdPattern = key("device/currId%1");
constexpr QLatin1String currentLang = key("lang/current");
constexpr QLatin1String homeMaxWindow = key("HomeDlg/MaxWindow");
// The IM server the client signs in to; absent: the SDK runs embedded.
constexpr QLatin1String imServer = key("imServer");
// The media server (Janus WebSocket URL) of the class's rooms; absent: the SDK's room of one.
constexpr QLatin1String avServer = key("avServer");
// INI file "brimvale.ini" beside the executable, or in the per-user settings folder where the
// executable's folder is not writable (AppSettings::iniFilePath()).
constexpr QLatin1String currTheme = key("skin/currTheme");
// "auto", "software" or "opengl": the scene graph path, for drivers that report wrongly.
constexpr QLatin1String sceneGraph = key("render/sceneGraph");

// %1 is the device type: 0 microphone, 1 speaker, 2 camera.
QString deviceEnable(int type);
QString deviceCurrId(int type);
} // namespace AppSettingsKey

// The signed-in user's profile as the page sends it in "SetUserData".
struct UserInfo
{
    QString userId;
    QString nickname;
    QString trueName;
    // Read from the page's JSON but never written out: toJson() leaves it out, so the settings
    // store never holds it.
    QString password;
    QString avatarUrl;
    QString genderCode;
    QString mobile;
    QString idcard;
    QString birthday;
    QString followWx;
    QString schoolYear;
    QString country;
    QString province;
    QString city;
    QString district;
    QString address;
    QString weixin;
    QString email;
    QString tel;
    QString weibo;
    QString qq;
    QString signature;
    QString inviteUserId;
    int autoReportLog = 0;
    QString deleteState;
    QString deleteTime;
    QString createTime;
    QString updateTime;

    // Fields whose key is present are taken from obj; the others stay as they are.
    void readJson(const QJsonObject &obj);
    static UserInfo fromJson(const QJsonObject &obj);
    // Every field but password; empty strings are dropped by JsonUtil::toCompactString.
    QJsonObject toJson() const;
};

struct LocationInfo
{
    QString country;
    QString countryId;
    QString province;
    QString city;
    QString cityId;
    QString district;
    QString isp;
    QString ip;

    void readJson(const QJsonObject &obj);
    static LocationInfo fromJson(const QJsonObject &obj);
    QJsonObject toJson() const;
};

// The TRTC identity for the device test.
struct DeviceTestConfig
{
    QString userId;
    int sdkAppId = 0;
    QString userSig;

    void readJson(const QJsonObject &obj);
    static DeviceTestConfig fromJson(const QJsonObject &obj);
    QJsonObject toJson() const;
};

struct BeautyStyle
{
    bool isEnable = true;
    int smoothStyle = 0; // 0 smooth, 1 natural
    int beautyLevel = 5;
    int whitenessLevel = 5;
    int ruddinessLevel = 5;

    // Absent keys keep the defaults above; a present "isEnable" that is not a boolean is false.
    void readJson(const QJsonObject &obj);
    static BeautyStyle fromJson(const QJsonObject &obj);
    QJsonObject toJson() const;
};

// The application context that survives restarts. No state in memory: each call opens its own
// QSettings, reads or writes one key and closes it, so any thread may call any of these.
class AppSettings
{
public:
    // Registry store. value() is an invalid QVariant when the key is absent.
    static QVariant value(const QString &key);
    static void setValue(const QString &key, const QVariant &value);
    // "brimvale.ini" beside the executable where that folder is writable (development builds,
    // portable copies), otherwise in the per-user settings folder; there a key not yet written
    // reads from a file beside the executable, as an administrator's default.
    static QString iniValue(const QString &key, const QString &defaultValue);
    static void setIniValue(const QString &key, const QVariant &value);
    static QString iniFilePath();

    static UserInfo userInfo();
    static void setUserInfo(const UserInfo &info);
    static QString userId();
    static bool isAutoReportLog();

    static LocationInfo location();
    static QString ip();
    static void setLocation(const LocationInfo &info);

    static void setDeviceTestConfig(const DeviceTestConfig &config);
    static void setToken(const QString &token);
    static void setLoginLogId(const QString &id);

    static QString deviceName();
    static void setDeviceName(const QString &name);

    static QString liveId();
    static void setLiveId(const QString &id);
    static bool isStudent();
    static void setCurrUserType(const QString &type);

    static BeautyStyle beautyStyle();
    static void setBeautyStyle(const BeautyStyle &style);

    // A fresh installation has every device enabled.
    static bool isDeviceEnabled(int type);
    static void setDeviceEnabled(int type, bool enabled);
    static QString currDeviceId(int type);
    static void setCurrDeviceId(int type, const QString &id);

    // Stores the login context of the page's "SetUserData" message: token, userInfo, location,
    // deviceTestConfig (with the user's id), deviceName, loginLogId, in that order. Returns
    // isAutoReportLog() as it stands after the user record, so that the caller can start the
    // log upload, which comes between the device name and the login log id.
    static bool storeUserData(const QJsonObject &msg, const QString &deviceName);
};
