#include "LiveBaseDlg.h"

#include "AppSettings.h"
#include "DeviceInfo.h"
#include "JsonUtil.h"
#include "StringUtil.h"

#include <QDebug>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace {

// Student lists longer than this are logged as their length: a class of thousands would write
// megabytes into the log for each message.
constexpr int loggedListLength = 100;

QString logText(QJsonObject obj)
{
    for (const QString &key :
         {QStringLiteral("onlineStudentList"), QStringLiteral("offlineStudentList")}) {
        const QJsonValue list = obj.value(key);
        if (list.isArray() && list.toArray().size() > loggedListLength) {
            obj.insert(key, QStringLiteral("(%1 entries)").arg(list.toArray().size()));
        }
    }
    return QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact));
}

// The live data's application id may come as a number or as a string of digits; a value that
// does not fit an int reads as 0 rather than overflowing.
int toAppId(double number)
{
    if (!std::isfinite(number) || number <= std::numeric_limits<int>::min() - 1.0 ||
        number >= std::numeric_limits<int>::max() + 1.0) {
        return 0;
    }
    return static_cast<int>(number);
}

QMap<QString, LiveUser> userMap(const QJsonArray &array)
{
    QMap<QString, LiveUser> map;
    for (const QJsonValue &value : array) {
        LiveUser user;
        user.fromJson(value.toObject());
        // A later entry with the same id replaces the earlier one.
        map.insert(user.userId, user);
    }
    return map;
}

} // namespace

LiveBaseDlg::LiveBaseDlg(QWidget *parent)
    : XDialog(parent), requestId(StringUtil::uniqueId(QString()))
{
    qDebug() << "Live-base-LiveBaseDlg";
}

LiveBaseDlg::~LiveBaseDlg()
{
    qDebug() << QStringLiteral("Live-base-～LiveBaseDlg");
}

void LiveBaseDlg::setLiveData(const QJsonObject &data)
{
    qDebug().noquote() << "Live-base-setLiveData" << logText(data);

    liveInfo.fromJson(JsonUtil::getObject(data, QStringLiteral("liveInfo")));
    trtcSdkAppId = toAppId(JsonUtil::getDouble(data, QStringLiteral("trtcSdkAppId"), 0));
    trtcUserSig = JsonUtil::getString(data, QStringLiteral("trtcUserSig"), QString());

    classInfo.fromJson(JsonUtil::getObject(data, QStringLiteral("classInfo")));
    liveSettings.fromJson(JsonUtil::getObject(data, QStringLiteral("liveSettings")));
    teacherInfo.fromJson(JsonUtil::getObject(data, QStringLiteral("teacherInfo")));
    assistantInfo.fromJson(JsonUtil::getObject(data, QStringLiteral("assistantInfo")));
    currLiveUser.fromJson(JsonUtil::getObject(data, QStringLiteral("currLiveUser")));

    onlineStudentList = userMap(JsonUtil::getArray(data, QStringLiteral("onlineStudentList")));
    offlineStudentList = userMap(JsonUtil::getArray(data, QStringLiteral("offlineStudentList")));

    currLiveUser.os = DeviceInfo::osName();
    currLiveUser.osVersion = DeviceInfo::osVersion();
    const LocationInfo location = AppSettings::location();
    currLiveUser.country = location.country;
    currLiveUser.province = location.province;
    currLiveUser.city = location.city;
    currLiveUser.isp = location.isp;
    currLiveUser.ip = location.ip;

    AppSettings::setLiveId(liveId);
    AppSettings::setCurrUserType(currLiveUser.userType);

    setWindowTitle(QStringLiteral("%1 (%2)").arg(classInfo.className,
                                                 LiveJson::groupDigits(liveInfo.liveRoomId)));
}

bool LiveBaseDlg::setLiveData(const QString &param)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(param.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        // Half a message must not empty the records the window already has.
        qWarning() << "Live-base-setLiveData not a JSON object:" << error.errorString()
                   << param.left(200);
        return false;
    }
    setLiveData(doc.object());
    return true;
}

void LiveBaseDlg::setErrorInfo(int code, const QString &text)
{
    qDebug() << "Live-base-setErrorInfo" << code << text;
}

void LiveBaseDlg::updateLiveInfo()
{
    qDebug() << "Live-base-updateLiveInfo";
    sendWebMsg(QStringLiteral("UpdateLiveInfo"), liveInfo.toJson());
}

void LiveBaseDlg::updateLiveTime(int time)
{
    qDebug() << "Live-base-updateLiveTime" << time;
    liveTime = time;
    sendWebMsg(QStringLiteral("UpdateLiveTime"), QJsonObject{{QStringLiteral("liveTime"), time}});
}

QJsonObject LiveBaseDlg::getWatchData()
{
    LiveWatchData watch;
    watch.tenantId = classInfo.tenantId;
    watch.liveId = liveInfo.liveId;
    watch.classId = classInfo.classId;
    watch.className = classInfo.className;
    watch.studentCount = classInfo.studentCount;
    watch.teacherId = teacherInfo.userId;
    watch.teacherName = teacherInfo.nickname;
    watch.assitantId = assistantInfo.userId;
    watch.assitantName = assistantInfo.nickname;
    watch.deviceName = AppSettings::deviceName();
    watch.ip = AppSettings::ip();
    watch.userCount = onlineStudentList.size() + 1 + (assistantInfo.isEnteredRoom == 1 ? 1 : 0);
    watch.isRecording = liveInfo.isRecording == 1 ? 1 : 0;
    watch.isScreenSharing = liveInfo.isScreenSharing == 1 ? 1 : 0;
    return watch.toJson();
}
