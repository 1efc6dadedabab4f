#include "ImUtil.h"

#include "AppSettings.h"
#include "ImCallback.h"
#include "JsonUtil.h"
#include "PathUtil.h"

#include "brv_im.h"

#include <QAtomicPointer>
#include <QDebug>
#include <QMutex>

bool isImError(int code)
{
    return code != 0 && code != ImAlreadyGroupMember;
}

namespace {
// Read without the lock once set, so the pointer must be published atomically.
QAtomicPointer<ImUtil> instancePointer;
QMutex instanceMutex;
} // namespace

ImUtil *ImUtil::instance()
{
    if (ImUtil *existing = instancePointer.loadAcquire()) {
        return existing;
    }
    QMutexLocker locker(&instanceMutex);
    if (!instancePointer.loadRelaxed()) {
        instancePointer.storeRelease(new ImUtil);
    }
    return instancePointer.loadRelaxed();
}

ImUtil::~ImUtil()
{
    // Never runs: the instance lives until the process ends.
    const int code = TIMUninit();
    if (code != 0) {
        qDebug() << "ImUtil::uninit Failed!" << code;
    }
}

QJsonObject ImUtil::initConfig()
{
    const QString dir = PathUtil::appDir() + QStringLiteral("log/im");
    QJsonObject config;
    config.insert(QStringLiteral("sdk_config_log_file_path"), dir);
    config.insert(QStringLiteral("sdk_config_config_file_path"), dir);
    // The environment is the per-run choice (a test or a demo pointed at its own server), so it
    // wins over the stored setting.
    QString server = qEnvironmentVariable("BRV_IM_SERVER").trimmed();
    if (server.isEmpty()) {
        server = AppSettings::value(AppSettingsKey::imServer).toString().trimmed();
    }
    config.insert(QStringLiteral("brv_server"), server);
    return JsonUtil::cleanObject(config);
}

int ImUtil::init(int sdkAppId)
{
    const QString config = JsonUtil::toCompactString(initConfig());
    // The app id is a signed 32-bit value; the SDK takes it widened.
    const int code =
        TIMInit(static_cast<uint64_t>(static_cast<int64_t>(sdkAppId)), config.toUtf8().constData());
    if (code != 0) {
        qDebug() << "ImUtil::init Failed!" << code;
    }
    return code;
}

int ImUtil::uninit()
{
    const int code = TIMUninit();
    if (code != 0) {
        qDebug() << "ImUtil::uninit Failed!" << code;
    }
    return code;
}

int ImUtil::login(const QString &userId, const QString &userSig, ImCallback *cb)
{
    const int code = TIMLogin(userId.toUtf8().constData(), userSig.toUtf8().constData(),
                              &ImCallback::forwardLogin, cb);
    if (code != 0) {
        qDebug() << "TIMLogin error" << code;
    }
    return code;
}

int ImUtil::logout(ImCallback *cb)
{
    const int code = TIMLogout(&ImCallback::forwardLogout, cb);
    if (code != 0) {
        qDebug() << "logout error" << code;
    }
    return code;
}

void ImUtil::setNetworkStatusListenerCallback(ImCallback *cb)
{
    qDebug() << "ImUtil::setNetworkStatusListenerCallback";
    TIMSetNetworkStatusListenerCallback(&ImCallback::forwardNetworkStatus, cb);
}

QString ImUtil::getSDKVersion()
{
    const char *version = TIMGetSDKVersion();
    return version ? QString::fromUtf8(version) : QString();
}
