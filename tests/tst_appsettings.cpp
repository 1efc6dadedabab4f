#include "AppSettings.h"
#include "JsonUtil.h"

#include "LogCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSemaphore>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include "ScratchFolders.h"

#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

// A check evaluated inside the test body (after init() has emptied the store).
using Probe = std::function<QVariant()>;
Q_DECLARE_METATYPE(Probe)
// Something done to the store before a probe.
using Action = std::function<void()>;
Q_DECLARE_METATYPE(Action)

namespace {
const char iniChildFlag[] = "--ini-child";
const char writeChildFlag[] = "--write-child";
const char readChildFlag[] = "--read-child";

// The same store AppSettings opens; the tests use it only to empty it.
void wipeRegistryStore()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brimvale"),
              QStringLiteral("settings"))
        .clear();
}

QString configHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString registryFilePath()
{
    return configHome() + QStringLiteral("/brimvale/settings.conf");
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every byte under the settings folder: the store, its lock file and any leftovers.
QByteArray allConfigBytes()
{
    QByteArray all;
    QDirIterator it(configHome(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        all += readFile(it.next());
    }
    return all;
}

QString beautySummary(const BeautyStyle &s)
{
    return QStringLiteral("%1/%2/%3/%4/%5")
        .arg(int(s.isEnable))
        .arg(s.smoothStyle)
        .arg(s.beautyLevel)
        .arg(s.whitenessLevel)
        .arg(s.ruddinessLevel);
}

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

void storeRaw(const QString &key, const QString &text)
{
    AppSettings::setValue(key, text);
}

// A copy of this test program in a folder of its own, so that "brimvale.ini" beside the
// executable is written there and never next to the build output.
class ChildCopy
{
public:
    ChildCopy()
    {
        exe = dir.filePath(QStringLiteral("tst_appsettings"));
        ok = dir.isValid() && QFile::copy(QCoreApplication::applicationFilePath(), exe) &&
             QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool isValid() const { return ok; }
    QString binDir() const { return QFileInfo(exe).canonicalPath(); }

    // Runs the copy to the end; output goes to *output, exit code is returned (-1 on a crash).
    int run(const QStringList &arguments, QByteArray *output) const
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BRV_EXPECTED_APP_DIR"), binDir());
        process.setProcessEnvironment(env);
        process.start(exe, arguments);
        if (!process.waitForStarted(10000) || !process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            *output = "child did not run to the end: " + process.errorString().toUtf8();
            return -1;
        }
        *output = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private:
    QTemporaryDir dir;
    QString exe;
    bool ok = false;
};

// One value of one writer thread: its index, a sequence number and a body whose length varies
// with the number, so that a torn or mixed value cannot pass for a whole one.
QString makeValue(int writer, int seq)
{
    return QStringLiteral("w%1:%2:%3:end")
        .arg(writer)
        .arg(seq)
        .arg(QString(16 + seq % 53, QChar(QLatin1Char(char('a' + writer)))));
}

// The sequence number of a value of the writer, -1 when absent, -2 when it is not whole.
int parseValue(int writer, const QString &text)
{
    if (text.isEmpty()) {
        return -1;
    }
    const QStringList parts = text.split(QLatin1Char(':'));
    bool ok = false;
    const int seq = parts.value(1).toInt(&ok);
    if (parts.size() != 4 || !ok || seq < 0 || makeValue(writer, seq) != text) {
        return -2;
    }
    return seq;
}

// How a writer thread stores its value and reads any writer's value back.
struct Channel
{
    std::function<void(int seq)> write;
    std::function<int()> read; // sequence number as parseValue gives it
};
using Channels = QVector<Channel>;
} // namespace
Q_DECLARE_METATYPE(Channels)

class TestAppSettings : public QObject
{
    Q_OBJECT

private:
    bool iniBesideBuildExisted = false;

    QString buildIniPath() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/brimvale.ini");
    }

private slots:
    void initTestCase()
    {
        // main() gives the suite its own folders when run-isolated.sh has not; make sure the
        // store really is the one under them and never the user's.
        const QString scratch = qEnvironmentVariable("BRV_TEST_SCRATCH");
        QVERIFY(!scratch.isEmpty());
        QVERIFY2(configHome().startsWith(scratch + QLatin1Char('/')), qPrintable(configHome()));
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brimvale"),
                        QStringLiteral("settings"));
        QCOMPARE(store.fileName(), registryFilePath());
        iniBesideBuildExisted = QFile::exists(buildIniPath());
    }

    void init() { wipeRegistryStore(); }

    void cleanupTestCase()
    {
        wipeRegistryStore();
        // This process never touches the INI file; only the copies in temporary folders do.
        if (!iniBesideBuildExisted) {
            QVERIFY(!QFile::exists(buildIniPath()));
        }
    }

    void keyNames()
    {
        QCOMPARE(AppSettingsKey::deviceEnable(0), QStringLiteral("device/enable0"));
        QCOMPARE(AppSettingsKey::deviceEnable(2), QStringLiteral("device/enable2"));
        QCOMPARE(AppSettingsKey::deviceCurrId(1), QStringLiteral("device/currId1"));
        QCOMPARE(QString(AppSettingsKey::beautyStyle), QStringLiteral("live/beautyStyle"));
        QCOMPARE(QString(AppSettingsKey::currTheme), QStringLiteral("skin/currTheme"));
    }

    // --- nothing stored ---------------------------------------------------------------------

    void emptyStoreDefaults_data()
    {
        QTest::addColumn<Probe>("probe");
        QTest::addColumn<QVariant>("expected");
        const QVariant empty = QString();
        QTest::newRow("userId") << Probe([] { return AppSettings::userId(); }) << empty;
        QTest::newRow("isAutoReportLog")
            << Probe([] { return AppSettings::isAutoReportLog(); }) << QVariant(false);
        QTest::newRow("userInfo.autoReportLog")
            << Probe([] { return AppSettings::userInfo().autoReportLog; }) << QVariant(0);
        QTest::newRow("userInfo has only autoReportLog")
            << Probe([] { return JsonUtil::toCompactString(AppSettings::userInfo().toJson()); })
            << QVariant(QStringLiteral("{\"autoReportLog\":0}"));
        QTest::newRow("isStudent")
            << Probe([] { return AppSettings::isStudent(); }) << QVariant(false);
        for (int type = 0; type <= 2; ++type) {
            QTest::addRow("isDeviceEnabled(%d)", type)
                << Probe([type] { return AppSettings::isDeviceEnabled(type); }) << QVariant(true);
            QTest::addRow("currDeviceId(%d)", type)
                << Probe([type] { return AppSettings::currDeviceId(type); }) << empty;
        }
        QTest::newRow("beautyStyle")
            << Probe([] { return beautySummary(AppSettings::beautyStyle()); })
            << QVariant(QStringLiteral("1/0/5/5/5"));
        QTest::newRow("location") << Probe([] {
            return JsonUtil::toCompactString(AppSettings::location().toJson());
        }) << QVariant(QStringLiteral("{}"));
        QTest::newRow("ip") << Probe([] { return AppSettings::ip(); }) << empty;
        QTest::newRow("deviceName") << Probe([] { return AppSettings::deviceName(); }) << empty;
        QTest::newRow("liveId") << Probe([] { return AppSettings::liveId(); }) << empty;
        QTest::newRow("token absent")
            << Probe([] { return AppSettings::value(AppSettingsKey::token).isValid(); })
            << QVariant(false);
        QTest::newRow("lang/current absent")
            << Probe([] { return AppSettings::value(QStringLiteral("lang/current")).isValid(); })
            << QVariant(false);
        QTest::newRow("HomeDlg/MaxWindow is 0")
            << Probe([] { return AppSettings::value(QStringLiteral("HomeDlg/MaxWindow")).toInt(); })
            << QVariant(0);
    }
    void emptyStoreDefaults()
    {
        QFETCH(Probe, probe);
        QFETCH(QVariant, expected);
        QCOMPARE(probe(), expected);
    }

    // --- reading stored JSON ----------------------------------------------------------------

    void readingStoredText_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<Probe>("probe");
        QTest::addColumn<QVariant>("expected");

        const QString user = AppSettingsKey::userInfo;
        const Probe userId([] { return AppSettings::userId(); });
        const Probe autoReport([] { return AppSettings::userInfo().autoReportLog; });
        const Probe isAuto([] { return AppSettings::isAutoReportLog(); });
        QTest::newRow("userId string")
            << user << "{\"userId\":\"42\"}" << userId << QVariant(QStringLiteral("42"));
        QTest::newRow("userId number gives empty")
            << user << "{\"userId\":42}" << userId << QVariant(QString());
        QTest::newRow("userId boolean gives empty")
            << user << "{\"userId\":true}" << userId << QVariant(QString());
        QTest::newRow("userId null gives empty")
            << user << "{\"userId\":null}" << userId << QVariant(QString());
        QTest::newRow("userId object gives empty")
            << user << "{\"userId\":{\"a\":1}}" << userId << QVariant(QString());
        QTest::newRow("autoReportLog string 1 gives 0")
            << user << "{\"autoReportLog\":\"1\"}" << autoReport << QVariant(0);
        QTest::newRow("autoReportLog string 1 is off")
            << user << "{\"autoReportLog\":\"1\"}" << isAuto << QVariant(false);
        QTest::newRow("autoReportLog 1 is on")
            << user << "{\"autoReportLog\":1}" << isAuto << QVariant(true);
        QTest::newRow("autoReportLog 7 is on")
            << user << "{\"autoReportLog\":7}" << isAuto << QVariant(true);
        QTest::newRow("autoReportLog -1 is on")
            << user << "{\"autoReportLog\":-1}" << isAuto << QVariant(true);
        QTest::newRow("autoReportLog 0 is off")
            << user << "{\"autoReportLog\":0}" << isAuto << QVariant(false);
        QTest::newRow("autoReportLog true gives 0")
            << user << "{\"autoReportLog\":true}" << autoReport << QVariant(0);
        QTest::newRow("autoReportLog 1.5 gives 0")
            << user << "{\"autoReportLog\":1.5}" << autoReport << QVariant(0);
        QTest::newRow("other members ignored") << user << "{\"userId\":\"u\",\"unknown\":\"x\"}"
                                               << userId << QVariant(QStringLiteral("u"));
        QTest::newRow("unicode kept")
            << user << "{\"userId\":\"用户-1\"}" << userId << QVariant(QStringLiteral("用户-1"));
        QTest::newRow("user not JSON") << user << "not json" << userId << QVariant(QString());
        QTest::newRow("user truncated")
            << user << "{\"userId\":\"4" << userId << QVariant(QString());
        QTest::newRow("user array")
            << user << "[{\"userId\":\"4\"}]" << userId << QVariant(QString());
        QTest::newRow("user JSON string") << user << "\"text\"" << isAuto << QVariant(false);
        QTest::newRow("user empty text") << user << "" << isAuto << QVariant(false);

        const QString location = AppSettingsKey::location;
        const Probe ip([] { return AppSettings::ip(); });
        QTest::newRow("ip") << location << "{\"ip\":\"10.0.0.7\",\"isp\":\"x\"}" << ip
                            << QVariant(QStringLiteral("10.0.0.7"));
        QTest::newRow("ip number gives empty")
            << location << "{\"ip\":1234}" << ip << QVariant(QString());
        QTest::newRow("location not an object") << location << "[]" << ip << QVariant(QString());
        QTest::newRow("location all fields")
            << location
            << "{\"country\":\"a\",\"countryId\":\"b\",\"province\":\"c\",\"city\":\"d\","
               "\"cityId\":\"e\",\"district\":\"f\",\"isp\":\"g\",\"ip\":\"h\"}"
            << Probe([] {
                   const LocationInfo l = AppSettings::location();
                   return QStringList{l.country, l.countryId, l.province, l.city,
                                      l.cityId,  l.district,  l.isp,      l.ip}
                       .join(QLatin1Char(','));
               })
            << QVariant(QStringLiteral("a,b,c,d,e,f,g,h"));

        const QString beauty = AppSettingsKey::beautyStyle;
        const Probe style([] { return beautySummary(AppSettings::beautyStyle()); });
        QTest::newRow("beauty only beautyLevel 9")
            << beauty << "{\"beautyLevel\":9}" << style << QVariant(QStringLiteral("1/0/9/5/5"));
        QTest::newRow("beauty all fields")
            << beauty
            << "{\"isEnable\":false,\"smoothStyle\":1,\"beautyLevel\":2,\"whitenessLevel\":3,"
               "\"ruddinessLevel\":4}"
            << style << QVariant(QStringLiteral("0/1/2/3/4"));
        QTest::newRow("beauty empty object")
            << beauty << "{}" << style << QVariant(QStringLiteral("1/0/5/5/5"));
        QTest::newRow("beauty not JSON")
            << beauty << "beauty" << style << QVariant(QStringLiteral("1/0/5/5/5"));
        QTest::newRow("beauty array")
            << beauty << "[1,2]" << style << QVariant(QStringLiteral("1/0/5/5/5"));
        // A present key is converted, not defaulted: a string under an integer key gives 0.
        QTest::newRow("beautyLevel string gives 0") << beauty << "{\"beautyLevel\":\"9\"}" << style
                                                    << QVariant(QStringLiteral("1/0/0/5/5"));
        QTest::newRow("whitenessLevel null gives 0")
            << beauty << "{\"whitenessLevel\":null}" << style
            << QVariant(QStringLiteral("1/0/5/0/5"));
        QTest::newRow("ruddinessLevel fraction gives 0")
            << beauty << "{\"ruddinessLevel\":9.7}" << style
            << QVariant(QStringLiteral("1/0/5/5/0"));
        QTest::newRow("isEnable string gives false") << beauty << "{\"isEnable\":\"true\"}" << style
                                                     << QVariant(QStringLiteral("0/0/5/5/5"));
        QTest::newRow("isEnable number gives false")
            << beauty << "{\"isEnable\":1}" << style << QVariant(QStringLiteral("0/0/5/5/5"));
        QTest::newRow("isEnable null gives false")
            << beauty << "{\"isEnable\":null}" << style << QVariant(QStringLiteral("0/0/5/5/5"));

        const QString type = AppSettingsKey::currUserType;
        const Probe student([] { return AppSettings::isStudent(); });
        QTest::newRow("Student") << type << "Student" << student << QVariant(true);
        QTest::newRow("student") << type << "student" << student << QVariant(true);
        QTest::newRow("STUDENT") << type << "STUDENT" << student << QVariant(true);
        QTest::newRow("sTuDeNt") << type << "sTuDeNt" << student << QVariant(true);
        QTest::newRow("Students") << type << "Students" << student << QVariant(false);
        QTest::newRow("padded Student") << type << " Student" << student << QVariant(false);
        QTest::newRow("Teacher") << type << "Teacher" << student << QVariant(false);
        QTest::newRow("empty type") << type << "" << student << QVariant(false);

        const Probe enabled1([] { return AppSettings::isDeviceEnabled(1); });
        const Probe enabled0([] { return AppSettings::isDeviceEnabled(0); });
        const QString enable1 = AppSettingsKey::deviceEnable(1);
        QTest::newRow("enable text 0") << enable1 << "0" << enabled1 << QVariant(false);
        QTest::newRow("enable text 1") << enable1 << "1" << enabled1 << QVariant(true);
        QTest::newRow("enable text false") << enable1 << "false" << enabled1 << QVariant(false);
        QTest::newRow("enable text true") << enable1 << "true" << enabled1 << QVariant(true);
        QTest::newRow("other type untouched") << enable1 << "0" << enabled0 << QVariant(true);
    }
    void readingStoredText()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(Probe, probe);
        QFETCH(QVariant, expected);
        storeRaw(key, stored);
        QCOMPARE(AppSettings::value(key).toString(), stored);
        QCOMPARE(probe(), expected);
    }

    void unreadableJsonReadsAsDefaultsAndLogs_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("logged");
        QTest::newRow("not JSON") << "{oops"
                                  << "Error!!!";
        QTest::newRow("array") << "[]"
                               << "doc is not Object";
        // Qt 5 takes only an object or an array as a document.
        QTest::newRow("number") << "5"
                                << "Error!!!";
        QTest::newRow("string") << "\"x\""
                                << "Error!!!";
    }
    void unreadableJsonReadsAsDefaultsAndLogs()
    {
        QFETCH(QString, stored);
        QFETCH(QString, logged);
        storeRaw(AppSettingsKey::userInfo, stored);
        storeRaw(AppSettingsKey::beautyStyle, stored);
        LogCapture capture;
        QCOMPARE(AppSettings::userInfo().toJson(), UserInfo().toJson());
        QCOMPARE(beautySummary(AppSettings::beautyStyle()), QStringLiteral("1/0/5/5/5"));
        QVERIFY(capture.contains(QStringLiteral("JsonUtil::str2Json")));
        QVERIFY(capture.contains(logged));
    }

    // --- records -----------------------------------------------------------------------------

    void absentKeysLeaveFieldsAlone()
    {
        UserInfo user;
        user.nickname = QStringLiteral("keep");
        user.autoReportLog = 3;
        user.readJson(parse("{\"userId\":\"u\"}"));
        QCOMPARE(user.userId, QStringLiteral("u"));
        QCOMPARE(user.nickname, QStringLiteral("keep"));
        QCOMPARE(user.autoReportLog, 3);

        LocationInfo place;
        place.ip = QStringLiteral("keep");
        place.readJson(parse("{\"city\":\"c\"}"));
        QCOMPARE(place.ip, QStringLiteral("keep"));
        QCOMPARE(place.city, QStringLiteral("c"));

        DeviceTestConfig config;
        config.sdkAppId = 9;
        config.readJson(parse("{\"userSig\":\"s\"}"));
        QCOMPARE(config.sdkAppId, 9);
        QCOMPARE(config.userSig, QStringLiteral("s"));

        BeautyStyle style;
        style.isEnable = false;
        style.beautyLevel = 1;
        style.readJson(parse("{\"ruddinessLevel\":8}"));
        QCOMPARE(beautySummary(style), QStringLiteral("0/0/1/5/8"));
    }

    void recordsReadTheirFields()
    {
        const UserInfo user = UserInfo::fromJson(
            parse("{\"userId\":\"1\",\"password\":\"pw\",\"email\":\"e@x\",\"autoReportLog\":2,"
                  "\"updateTime\":\"t\",\"qq\":7}"));
        QCOMPARE(user.userId, QStringLiteral("1"));
        QCOMPARE(user.password, QStringLiteral("pw"));
        QCOMPARE(user.email, QStringLiteral("e@x"));
        QCOMPARE(user.autoReportLog, 2);
        QCOMPARE(user.updateTime, QStringLiteral("t"));
        QCOMPARE(user.qq, QString());

        const DeviceTestConfig config = DeviceTestConfig::fromJson(
            parse("{\"userId\":\"u\",\"sdkAppId\":1400000001,\"userSig\":\"sig\"}"));
        QCOMPARE(config.userId, QStringLiteral("u"));
        QCOMPARE(config.sdkAppId, 1400000001);
        QCOMPARE(config.userSig, QStringLiteral("sig"));
        QCOMPARE(DeviceTestConfig::fromJson(parse("{\"sdkAppId\":\"1400\"}")).sdkAppId, 0);
    }

    void userInfoWritesEveryFieldButPassword()
    {
        const QStringList fields = {
            "userId",     "nickname",   "trueName",  "password",  "avatarUrl",    "genderCode",
            "mobile",     "idcard",     "birthday",  "followWx",  "schoolYear",   "country",
            "province",   "city",       "district",  "address",   "weixin",       "email",
            "tel",        "weibo",      "qq",        "signature", "inviteUserId", "deleteState",
            "deleteTime", "createTime", "updateTime"};
        QJsonObject in;
        for (const QString &field : fields) {
            in.insert(field, field + QStringLiteral("-value"));
        }
        in.insert(QStringLiteral("autoReportLog"), 4);
        const QJsonObject out = UserInfo::fromJson(in).toJson();
        QJsonObject expected = in;
        expected.remove(QStringLiteral("password"));
        QCOMPARE(out, expected);
    }

    void writingRecords_data()
    {
        QTest::addColumn<Action>("write");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("userId 42 and autoReportLog 1") << Action([] {
            UserInfo user;
            user.userId = QStringLiteral("42");
            user.autoReportLog = 1;
            AppSettings::setUserInfo(user);
        }) << QString(AppSettingsKey::userInfo) << "{\"autoReportLog\":1,\"userId\":\"42\"}";
        QTest::newRow("empty user keeps autoReportLog 0")
            << Action([] { AppSettings::setUserInfo(UserInfo()); })
            << QString(AppSettingsKey::userInfo) << "{\"autoReportLog\":0}";
        QTest::newRow("user with password") << Action([] {
            UserInfo user;
            user.userId = QStringLiteral("u");
            user.password = QStringLiteral("secret");
            AppSettings::setUserInfo(user);
        }) << QString(AppSettingsKey::userInfo)
                                            << "{\"autoReportLog\":0,\"userId\":\"u\"}";
        QTest::newRow("user text escaped")
            << Action([] {
                   UserInfo user;
                   user.nickname = QStringLiteral("a \"b\"\n中");
                   AppSettings::setUserInfo(user);
               })
            << QString(AppSettingsKey::userInfo)
            << "{\"autoReportLog\":0,\"nickname\":\"a \\\"b\\\"\\n中\"}";
        QTest::newRow("empty location") << Action([] { AppSettings::setLocation(LocationInfo()); })
                                        << QString(AppSettingsKey::location) << "{}";
        QTest::newRow("location ip and isp") << Action([] {
            LocationInfo place;
            place.ip = QStringLiteral("1.2.3.4");
            place.isp = QStringLiteral("net");
            AppSettings::setLocation(place);
        }) << QString(AppSettingsKey::location)
                                             << "{\"ip\":\"1.2.3.4\",\"isp\":\"net\"}";
        QTest::newRow("device test config") << Action([] {
            DeviceTestConfig config;
            config.userId = QStringLiteral("u");
            config.sdkAppId = 1400000001;
            config.userSig = QStringLiteral("sig");
            AppSettings::setDeviceTestConfig(config);
        }) << QString(AppSettingsKey::deviceTestConfig)
                                            << "{\"sdkAppId\":1400000001,\"userId\":\"u\","
                                               "\"userSig\":\"sig\"}";
        QTest::newRow("empty device test config")
            << Action([] { AppSettings::setDeviceTestConfig(DeviceTestConfig()); })
            << QString(AppSettingsKey::deviceTestConfig) << "{\"sdkAppId\":0}";
        QTest::newRow("default beauty")
            << Action([] { AppSettings::setBeautyStyle(BeautyStyle()); })
            << QString(AppSettingsKey::beautyStyle)
            << "{\"beautyLevel\":5,\"isEnable\":true,\"ruddinessLevel\":5,\"smoothStyle\":0,"
               "\"whitenessLevel\":5}";
        QTest::newRow("beauty off") << Action([] {
            BeautyStyle style;
            style.isEnable = false;
            style.smoothStyle = 1;
            style.beautyLevel = 0;
            AppSettings::setBeautyStyle(style);
        }) << QString(AppSettingsKey::beautyStyle)
                                    << "{\"beautyLevel\":0,\"isEnable\":false,\"ruddinessLevel\":5,"
                                       "\"smoothStyle\":1,\"whitenessLevel\":5}";
        QTest::newRow("token") << Action([] { AppSettings::setToken(QStringLiteral("tk")); })
                               << QString(AppSettingsKey::token) << "tk";
        QTest::newRow("loginLogId")
            << Action([] { AppSettings::setLoginLogId(QStringLiteral("log-1")); })
            << QString(AppSettingsKey::loginLogId) << "log-1";
        QTest::newRow("deviceName")
            << Action([] { AppSettings::setDeviceName(QStringLiteral("pc-1")); })
            << QString(AppSettingsKey::deviceName) << "pc-1";
        QTest::newRow("liveId") << Action([] { AppSettings::setLiveId(QStringLiteral("L9")); })
                                << QString(AppSettingsKey::liveId) << "L9";
        QTest::newRow("currUserType")
            << Action([] { AppSettings::setCurrUserType(QStringLiteral("Teacher")); })
            << QString(AppSettingsKey::currUserType) << "Teacher";
        QTest::newRow("device disabled") << Action([] { AppSettings::setDeviceEnabled(2, false); })
                                         << AppSettingsKey::deviceEnable(2) << "0";
        QTest::newRow("device enabled") << Action([] { AppSettings::setDeviceEnabled(0, true); })
                                        << AppSettingsKey::deviceEnable(0) << "1";
        QTest::newRow("device id")
            << Action([] { AppSettings::setCurrDeviceId(1, QStringLiteral("spk-1")); })
            << AppSettingsKey::deviceCurrId(1) << "spk-1";
    }
    void writingRecords()
    {
        QFETCH(Action, write);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        write();
        QCOMPARE(AppSettings::value(key).toString(), expected);
    }

    void recordsRoundTrip()
    {
        UserInfo user;
        user.userId = QStringLiteral("u-1");
        user.nickname = QStringLiteral("小明");
        user.avatarUrl = QStringLiteral("https://x/a.png?x=1&y=2");
        user.email = QStringLiteral("a@b");
        user.signature = QStringLiteral("line1\nline2 \"q\"");
        user.autoReportLog = 1;
        user.password = QStringLiteral("pw");
        AppSettings::setUserInfo(user);
        const UserInfo read = AppSettings::userInfo();
        QCOMPARE(read.toJson(), user.toJson());
        QCOMPARE(read.password, QString());
        QCOMPARE(AppSettings::userId(), QStringLiteral("u-1"));
        QVERIFY(AppSettings::isAutoReportLog());

        LocationInfo place;
        place.country = QStringLiteral("中国");
        place.cityId = QStringLiteral("0571");
        place.ip = QStringLiteral("::1");
        AppSettings::setLocation(place);
        QCOMPARE(AppSettings::location().toJson(), place.toJson());
        QCOMPARE(AppSettings::ip(), QStringLiteral("::1"));

        BeautyStyle style;
        style.isEnable = false;
        style.smoothStyle = 1;
        style.beautyLevel = 9;
        style.whitenessLevel = 0;
        style.ruddinessLevel = 3;
        AppSettings::setBeautyStyle(style);
        QCOMPARE(beautySummary(AppSettings::beautyStyle()), beautySummary(style));

        // Replacing the record drops what the new one lacks.
        UserInfo other;
        other.nickname = QStringLiteral("n");
        AppSettings::setUserInfo(other);
        QCOMPARE(AppSettings::userId(), QString());
        QVERIFY(!AppSettings::isAutoReportLog());
    }

    // --- generic access and devices ---------------------------------------------------------

    void genericValues()
    {
        QVERIFY(!AppSettings::value(QStringLiteral("nothing/here")).isValid());
        AppSettings::setValue(QStringLiteral("HomeDlg/MaxWindow"), 1);
        QCOMPARE(AppSettings::value(QStringLiteral("HomeDlg/MaxWindow")).toInt(), 1);
        AppSettings::setValue(QStringLiteral("HomeDlg/MaxWindow"), 0);
        QCOMPARE(AppSettings::value(QStringLiteral("HomeDlg/MaxWindow")).toInt(), 0);
        QVERIFY(AppSettings::value(QStringLiteral("HomeDlg/MaxWindow")).isValid());
        AppSettings::setValue(QStringLiteral("lang/current"), QStringLiteral("zh-TW"));
        QCOMPARE(AppSettings::value(QStringLiteral("lang/current")).toString(),
                 QStringLiteral("zh-TW"));
        // An empty text is stored, not removed.
        AppSettings::setValue(AppSettingsKey::token, QString());
        QVERIFY(AppSettings::value(AppSettingsKey::token).isValid());
        QCOMPARE(AppSettings::value(AppSettingsKey::token).toString(), QString());
        // A key of the INI file set here lives in the registry store only.
        AppSettings::setValue(AppSettingsKey::currTheme, QStringLiteral("dark"));
        QCOMPARE(AppSettings::value(AppSettingsKey::currTheme).toString(), QStringLiteral("dark"));
    }

    void devicesAreIndependent()
    {
        for (int type = 0; type <= 2; ++type) {
            AppSettings::setCurrDeviceId(type, QStringLiteral("dev-%1").arg(type));
        }
        AppSettings::setDeviceEnabled(1, false);
        QVERIFY(AppSettings::isDeviceEnabled(0));
        QVERIFY(!AppSettings::isDeviceEnabled(1));
        QVERIFY(AppSettings::isDeviceEnabled(2));
        AppSettings::setDeviceEnabled(2, false);
        AppSettings::setDeviceEnabled(1, true);
        QVERIFY(AppSettings::isDeviceEnabled(1));
        QVERIFY(!AppSettings::isDeviceEnabled(2));
        QCOMPARE(AppSettings::value(AppSettingsKey::deviceEnable(1)).toInt(), 1);
        QCOMPARE(AppSettings::value(AppSettingsKey::deviceEnable(2)).toInt(), 0);
        for (int type = 0; type <= 2; ++type) {
            QCOMPARE(AppSettings::currDeviceId(type), QStringLiteral("dev-%1").arg(type));
        }
    }

    // --- the "SetUserData" message ----------------------------------------------------------

    void storeUserDataFullMessage()
    {
        const QJsonObject msg =
            parse("{\"token\":\"tok\",\"loginLogId\":\"log-7\","
                  "\"userInfo\":{\"userId\":\"u1\",\"nickname\":\"N\",\"autoReportLog\":1},"
                  "\"location\":{\"ip\":\"1.1.1.1\",\"city\":\"C\"},"
                  "\"deviceTestOption\":{\"userId\":\"someone-else\",\"sdkAppId\":1400,"
                  "\"userSig\":\"sig\"}}");
        QVERIFY(AppSettings::storeUserData(msg, QStringLiteral("host-1")));
        QCOMPARE(AppSettings::value(AppSettingsKey::token).toString(), QStringLiteral("tok"));
        QCOMPARE(AppSettings::value(AppSettingsKey::userInfo).toString(),
                 QStringLiteral("{\"autoReportLog\":1,\"nickname\":\"N\",\"userId\":\"u1\"}"));
        QCOMPARE(AppSettings::value(AppSettingsKey::location).toString(),
                 QStringLiteral("{\"city\":\"C\",\"ip\":\"1.1.1.1\"}"));
        QCOMPARE(AppSettings::value(AppSettingsKey::deviceTestConfig).toString(),
                 QStringLiteral("{\"sdkAppId\":1400,\"userId\":\"u1\",\"userSig\":\"sig\"}"));
        QCOMPARE(AppSettings::deviceName(), QStringLiteral("host-1"));
        QCOMPARE(AppSettings::value(AppSettingsKey::loginLogId).toString(),
                 QStringLiteral("log-7"));
    }

    void storeUserDataCases_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("returned");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("userInfo");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("deviceTestConfig");
        QTest::addColumn<QString>("loginLogId");
        // Before each row the store holds these earlier values.
        const QString oldUser = QStringLiteral("{\"autoReportLog\":1,\"userId\":\"old\"}");
        const QString oldPlace = QStringLiteral("{\"ip\":\"9.9.9.9\"}");
        const QString oldConfig = QStringLiteral("{\"sdkAppId\":1,\"userId\":\"old\"}");

        QTest::newRow("empty message stores empty texts and keeps the records")
            << "{}" << true << "" << oldUser << oldPlace << oldConfig << "";
        QTest::newRow("no deviceTestOption leaves the config")
            << "{\"token\":\"t\",\"userInfo\":{\"userId\":\"u\"},\"loginLogId\":\"l\"}" << false
            << "t"
            << "{\"autoReportLog\":0,\"userId\":\"u\"}" << oldPlace << oldConfig << "l";
        QTest::newRow("deviceTestOption without userInfo has no userId")
            << "{\"deviceTestOption\":{\"userId\":\"x\",\"sdkAppId\":5,\"userSig\":\"s\"}}" << true
            << "" << oldUser << oldPlace << "{\"sdkAppId\":5,\"userSig\":\"s\"}"
            << "";
        QTest::newRow("empty userInfo object is skipped")
            << "{\"userInfo\":{},\"deviceTestOption\":{\"sdkAppId\":5}}" << true << "" << oldUser
            << oldPlace << "{\"sdkAppId\":5}"
            << "";
        QTest::newRow("userInfo that is not an object is skipped")
            << "{\"userInfo\":\"u\",\"location\":[1]}" << true << "" << oldUser << oldPlace
            << oldConfig << "";
        QTest::newRow("empty location object is skipped")
            << "{\"location\":{}}" << true << "" << oldUser << oldPlace << oldConfig << "";
        QTest::newRow("empty deviceTestOption object is skipped")
            << "{\"deviceTestOption\":{}}" << true << "" << oldUser << oldPlace << oldConfig << "";
        QTest::newRow("numeric userId gives empty ids")
            << "{\"userInfo\":{\"userId\":42,\"autoReportLog\":1},"
               "\"deviceTestOption\":{\"userId\":\"x\",\"sdkAppId\":5}}"
            << true << ""
            << "{\"autoReportLog\":1}" << oldPlace << "{\"sdkAppId\":5}"
            << "";
        QTest::newRow("autoReportLog text 1 is off")
            << "{\"userInfo\":{\"userId\":\"u\",\"autoReportLog\":\"1\"}}" << false << ""
            << "{\"autoReportLog\":0,\"userId\":\"u\"}" << oldPlace << oldConfig << "";
        QTest::newRow("numeric token and log id as text")
            << "{\"token\":123,\"loginLogId\":7}" << true << "123" << oldUser << oldPlace
            << oldConfig << "7";
        QTest::newRow("location replaced whole")
            << "{\"location\":{\"city\":\"C\"}}" << true << "" << oldUser << "{\"city\":\"C\"}"
            << oldConfig << "";
    }
    void storeUserDataCases()
    {
        QFETCH(QString, message);
        QFETCH(bool, returned);
        AppSettings::setValue(AppSettingsKey::token, QStringLiteral("old-token"));
        AppSettings::setValue(AppSettingsKey::loginLogId, QStringLiteral("old-log"));
        AppSettings::setValue(AppSettingsKey::deviceName, QStringLiteral("old-host"));
        AppSettings::setValue(AppSettingsKey::userInfo,
                              QStringLiteral("{\"autoReportLog\":1,\"userId\":\"old\"}"));
        AppSettings::setValue(AppSettingsKey::location, QStringLiteral("{\"ip\":\"9.9.9.9\"}"));
        AppSettings::setValue(AppSettingsKey::deviceTestConfig,
                              QStringLiteral("{\"sdkAppId\":1,\"userId\":\"old\"}"));

        QCOMPARE(AppSettings::storeUserData(JsonUtil::str2Json(message), QStringLiteral("host")),
                 returned);
        QCOMPARE(AppSettings::isAutoReportLog(), returned);

        const auto stored = [](const QString &key) {
            return AppSettings::value(key).toString();
        };
        QTEST(stored(AppSettingsKey::token), "token");
        QVERIFY(AppSettings::value(AppSettingsKey::token).isValid());
        QTEST(stored(AppSettingsKey::userInfo), "userInfo");
        QTEST(stored(AppSettingsKey::location), "location");
        QTEST(stored(AppSettingsKey::deviceTestConfig), "deviceTestConfig");
        QCOMPARE(AppSettings::deviceName(), QStringLiteral("host"));
        QTEST(stored(AppSettingsKey::loginLogId), "loginLogId");
        QVERIFY(AppSettings::value(AppSettingsKey::loginLogId).isValid());
    }

    // --- the password is never persisted ----------------------------------------------------

    void passwordNeverReachesTheStore_data()
    {
        QTest::addColumn<Action>("write");
        const QString secret = QStringLiteral("Pa55-S3cret-密码");
        QTest::newRow("setUserInfo") << Action([secret] {
            UserInfo user;
            user.userId = QStringLiteral("u-pw");
            user.password = secret;
            AppSettings::setUserInfo(user);
        });
        QTest::newRow("setUserInfo from JSON") << Action([secret] {
            QJsonObject obj = parse("{\"userId\":\"u-pw\",\"autoReportLog\":1}");
            obj.insert(QStringLiteral("password"), secret);
            AppSettings::setUserInfo(UserInfo::fromJson(obj));
        });
        QTest::newRow("storeUserData") << Action([secret] {
            QJsonObject user = parse("{\"userId\":\"u-pw\"}");
            user.insert(QStringLiteral("password"), secret);
            QJsonObject msg;
            msg.insert(QStringLiteral("userInfo"), user);
            msg.insert(QStringLiteral("deviceTestOption"), parse("{\"sdkAppId\":1}"));
            AppSettings::storeUserData(msg, QStringLiteral("host"));
        });
    }
    void passwordNeverReachesTheStore()
    {
        QFETCH(Action, write);
        const QByteArray secretUtf8 = QStringLiteral("Pa55-S3cret-密码").toUtf8();
        write();
        QCOMPARE(AppSettings::userId(), QStringLiteral("u-pw"));
        QCOMPARE(AppSettings::userInfo().password, QString());
        QVERIFY(!AppSettings::value(AppSettingsKey::userInfo)
                     .toString()
                     .contains(QStringLiteral("password")));

        // The file itself, as anyone with access to the account would read it.
        const QByteArray raw = readFile(registryFilePath());
        QVERIFY2(raw.contains("u-pw"), raw.constData());
        QVERIFY(!raw.contains("Pa55-S3cret"));
        QVERIFY(!raw.contains(secretUtf8));
        QVERIFY(!raw.contains("password"));
        // Nor in any other file under the settings folder (lock or temporary files).
        const QByteArray everything = allConfigBytes();
        QVERIFY(!everything.contains("Pa55-S3cret"));
        QVERIFY(!everything.contains("password"));
    }

    // --- threads and processes --------------------------------------------------------------

    void concurrentWritersOfDifferentKeys_data()
    {
        QTest::addColumn<Channels>("channelsData");
        QTest::addColumn<QStringList>("keys");

        Channels raw;
        const QStringList keys = {QString(AppSettingsKey::token), AppSettingsKey::deviceCurrId(0),
                                  QString(AppSettingsKey::liveId),
                                  QString(AppSettingsKey::deviceName)};
        for (int w = 0; w < keys.size(); ++w) {
            const QString key = keys.at(w);
            raw.append({[w, key](int seq) { AppSettings::setValue(key, makeValue(w, seq)); },
                        [w, key] {
                            return parseValue(w, AppSettings::value(key).toString());
                        }});
        }
        QTest::newRow("setValue") << raw << keys;

        Channels records;
        records.append({[](int seq) {
                            UserInfo user;
                            user.userId = makeValue(0, seq);
                            user.nickname = makeValue(0, seq);
                            user.autoReportLog = seq;
                            AppSettings::setUserInfo(user);
                        },
                        [] {
                            const UserInfo user = AppSettings::userInfo();
                            const int seq = parseValue(0, user.userId);
                            if (seq >= 0 &&
                                (user.nickname != user.userId || user.autoReportLog != seq)) {
                                return -2;
                            }
                            return seq;
                        }});
        records.append({[](int seq) {
                            LocationInfo place;
                            place.ip = makeValue(1, seq);
                            place.city = makeValue(1, seq);
                            AppSettings::setLocation(place);
                        },
                        [] {
                            const LocationInfo place = AppSettings::location();
                            const int seq = parseValue(1, place.ip);
                            return seq >= 0 && place.city != place.ip ? -2 : seq;
                        }});
        records.append({[](int seq) {
                            BeautyStyle style;
                            style.isEnable = seq % 2 == 0;
                            style.smoothStyle = seq;
                            style.beautyLevel = seq;
                            style.whitenessLevel = seq;
                            style.ruddinessLevel = seq;
                            AppSettings::setBeautyStyle(style);
                        },
                        [] {
                            if (!AppSettings::value(AppSettingsKey::beautyStyle).isValid()) {
                                return -1;
                            }
                            const BeautyStyle s = AppSettings::beautyStyle();
                            const int seq = s.smoothStyle;
                            const bool whole = seq >= 0 && s.beautyLevel == seq &&
                                               s.whitenessLevel == seq && s.ruddinessLevel == seq &&
                                               s.isEnable == (seq % 2 == 0);
                            return whole ? seq : -2;
                        }});
        records.append({[](int seq) { AppSettings::setCurrDeviceId(2, makeValue(3, seq)); },
                        [] {
                            return parseValue(3, AppSettings::currDeviceId(2));
                        }});
        QTest::newRow("typed records")
            << records
            << QStringList{QString(AppSettingsKey::userInfo), QString(AppSettingsKey::location),
                           QString(AppSettingsKey::beautyStyle), AppSettingsKey::deviceCurrId(2)};
    }
    void concurrentWritersOfDifferentKeys()
    {
        QFETCH(Channels, channelsData);
        QFETCH(QStringList, keys);
        // Only const access from the threads: a shared QVector must not detach under them.
        const Channels &channels = channelsData;
        const int writers = channels.size();
        const int rounds = 120;
        QSemaphore start;
        QMutex errorsMutex;
        QStringList errors;
        const auto fail = [&](const QString &text) {
            QMutexLocker locker(&errorsMutex);
            if (errors.size() < 20) {
                errors.append(text);
            }
        };

        std::vector<std::unique_ptr<QThread>> threads;
        for (int w = 0; w < writers; ++w) {
            threads.emplace_back(QThread::create([&, w] {
                start.acquire();
                QVector<int> lastSeen(writers, -1);
                for (int seq = 0; seq < rounds; ++seq) {
                    channels.at(w).write(seq);
                    const int own = channels.at(w).read();
                    if (own != seq) {
                        fail(QStringLiteral("writer %1 wrote %2, read back %3")
                                 .arg(w)
                                 .arg(seq)
                                 .arg(own));
                    }
                    // The others' keys: whole values that never go back in time.
                    for (int o = 0; o < writers; ++o) {
                        if (o == w) {
                            continue;
                        }
                        const int seen = channels.at(o).read();
                        if (seen == -2 || seen < lastSeen[o]) {
                            fail(QStringLiteral("writer %1 read %2 of writer %3 after %4")
                                     .arg(w)
                                     .arg(seen)
                                     .arg(o)
                                     .arg(lastSeen[o]));
                        }
                        lastSeen[o] = qMax(lastSeen[o], seen);
                    }
                }
            }));
            threads.back()->start();
        }
        start.release(writers);
        for (auto &thread : threads) {
            QVERIFY(thread->wait(240000));
        }
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        for (int w = 0; w < writers; ++w) {
            QCOMPARE(channels.at(w).read(), rounds - 1);
        }
        // And on disk, as the next start of the client finds them: a fresh process reads the
        // file and must see what this one sees.
        ChildCopy copy;
        QVERIFY(copy.isValid());
        for (const QString &key : keys) {
            QByteArray output;
            QCOMPARE(copy.run({QLatin1String(readChildFlag), key}, &output), 0);
            QCOMPARE(QString::fromUtf8(output), AppSettings::value(key).toString());
            QVERIFY(!output.isEmpty());
        }
    }

    void concurrentProcessesKeepEachOthersKeys()
    {
        // Two installations of the client may run side by side for one user; each writes its
        // own keys into the one store.
        ChildCopy copy;
        QVERIFY(copy.isValid());
        const int processes = 4;
        const int rounds = 40;
        std::vector<std::unique_ptr<QProcess>> children;
        for (int p = 0; p < processes; ++p) {
            children.emplace_back(new QProcess);
            children.back()->setProcessChannelMode(QProcess::MergedChannels);
            children.back()->start(QDir(copy.binDir()).filePath(QStringLiteral("tst_appsettings")),
                                   {QLatin1String(writeChildFlag),
                                    QStringLiteral("proc/key%1").arg(p), QString::number(p),
                                    QString::number(rounds)});
        }
        for (int p = 0; p < processes; ++p) {
            QVERIFY(children[p]->waitForFinished(120000));
            QVERIFY2(children[p]->exitCode() == 0, children[p]->readAll().constData());
        }
        for (int p = 0; p < processes; ++p) {
            QCOMPARE(AppSettings::value(QStringLiteral("proc/key%1").arg(p)).toString(),
                     makeValue(p, rounds - 1));
        }
    }

    void valuesSurviveAndCrossProcesses()
    {
        ChildCopy copy;
        QVERIFY(copy.isValid());
        AppSettings::setLiveId(QStringLiteral("live-77"));
        QByteArray output;
        QCOMPARE(copy.run({QLatin1String(readChildFlag), QString(AppSettingsKey::liveId)}, &output),
                 0);
        QCOMPARE(output.trimmed(), QByteArray("live-77"));

        QCOMPARE(copy.run({QLatin1String(writeChildFlag), QStringLiteral("proc/written"),
                           QStringLiteral("1"), QStringLiteral("1")},
                          &output),
                 0);
        QCOMPARE(AppSettings::value(QStringLiteral("proc/written")).toString(), makeValue(1, 0));
    }

    // --- the INI file beside the executable -------------------------------------------------

    void iniFileBesideTheExecutable()
    {
        ChildCopy copy;
        QVERIFY(copy.isValid());
        const QString ini = copy.binDir() + QStringLiteral("/brimvale.ini");
        QByteArray output;
        const int code = copy.run({QLatin1String(iniChildFlag)}, &output);
        QVERIFY2(code == 0, output.constData());
        // The child's last write stays in the copy's folder, as an INI file with the group.
        const QByteArray text = readFile(ini);
        QVERIFY2(text.contains("[skin]"), text.constData());
        QVERIFY2(text.contains("currTheme=purple"), text.constData());
        // A later start of that installation reads the theme back.
        QVERIFY2(copy.run({QLatin1String(iniChildFlag), QStringLiteral("themeIsKept")}, &output) ==
                     0,
                 output.constData());
        if (!iniBesideBuildExisted) {
            QVERIFY(!QFile::exists(buildIniPath()));
        }
    }
};

// Runs in a copy of this program in a temporary folder (iniFileBesideTheExecutable).
class TestAppSettingsIni : public QObject
{
    Q_OBJECT

    static QString iniPath()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/brimvale.ini");
    }

private slots:
    void initTestCase()
    {
        // Never the build output: the parent tells the copy where it must be.
        QCOMPARE(QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath(),
                 qEnvironmentVariable("BRV_EXPECTED_APP_DIR"));
    }

    void themeDefaultsToLight()
    {
        QVERIFY(!QFile::exists(iniPath()));
        QCOMPARE(AppSettings::iniValue(QStringLiteral("skin/currTheme"), QStringLiteral("light")),
                 QStringLiteral("light"));
        // Reading creates nothing.
        QVERIFY(!QFile::exists(iniPath()));
    }

    void absentKeysGiveTheDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("def");
        QTest::newRow("theme, other default") << "skin/currTheme"
                                              << "dark";
        QTest::newRow("theme, empty default") << "skin/currTheme"
                                              << "";
        QTest::newRow("other key") << "skin/other"
                                   << "x";
        QTest::newRow("top-level key") << "plain"
                                       << "y";
    }
    void absentKeysGiveTheDefault()
    {
        QFETCH(QString, key);
        QFETCH(QString, def);
        QCOMPARE(AppSettings::iniValue(key, def), def);
    }

    void writesAndReadsTheIni_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::newRow("dark") << "dark";
        QTest::newRow("blue") << "blue";
        QTest::newRow("light again") << "light";
        QTest::newRow("purple") << "purple";
    }
    void writesAndReadsTheIni()
    {
        QFETCH(QString, theme);
        AppSettings::setIniValue(QStringLiteral("skin/currTheme"), theme);
        QVERIFY(QFile::exists(iniPath()));
        QCOMPARE(AppSettings::iniValue(QStringLiteral("skin/currTheme"), QStringLiteral("light")),
                 theme);
        // The theme lives in the INI file only.
        QVERIFY(!AppSettings::value(QStringLiteral("skin/currTheme")).isValid());
    }
};

// The second run of the INI child: a fresh process of the same installation.
class TestAppSettingsIniKept : public QObject
{
    Q_OBJECT
private slots:
    void themeIsKept()
    {
        QCOMPARE(AppSettings::iniValue(QStringLiteral("skin/currTheme"), QStringLiteral("light")),
                 QStringLiteral("purple"));
    }
};

namespace {
// Writes makeValue(writer, 0..rounds-1) under key, reading each back.
int writeChild(const QString &key, int writer, int rounds)
{
    for (int seq = 0; seq < rounds; ++seq) {
        AppSettings::setValue(key, makeValue(writer, seq));
        const QString back = AppSettings::value(key).toString();
        if (back != makeValue(writer, seq)) {
            qCritical("write child: wrote %d, read %s", seq, qPrintable(back));
            return 1;
        }
    }
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    const auto scratch = ensureScratchFolders();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String(writeChildFlag) && args.size() == 5) {
        return writeChild(args.at(2), args.at(3).toInt(), args.at(4).toInt());
    }
    if (args.value(1) == QLatin1String(readChildFlag) && args.size() == 3) {
        const QByteArray text = AppSettings::value(args.at(2)).toString().toUtf8();
        fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    if (args.value(1) == QLatin1String(iniChildFlag)) {
        if (args.value(2) == QLatin1String("themeIsKept")) {
            TestAppSettingsIniKept kept;
            return QTest::qExec(&kept, QStringList{args.at(0)});
        }
        TestAppSettingsIni ini;
        return QTest::qExec(&ini, QStringList{args.at(0)});
    }
    TestAppSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_appsettings.moc"
