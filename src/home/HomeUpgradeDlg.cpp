#include "HomeUpgradeDlg.h"

#include "FileUtil.h"
#include "JsonUtil.h"
#include "PathUtil.h"

#include "BuildInfo.h"
#include "WebEnginePage.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QUrl>

namespace {

// A member is set only when its key is there; a string takes only string values and an int
// only numbers, so "versionNo":"7" reads as 0.
void readString(const QJsonObject &obj, const char *key, QString &member)
{
    const auto it = obj.constFind(QLatin1String(key));
    if (it != obj.constEnd()) {
        member = it->isString() ? it->toString() : QString();
    }
}

void readInt(const QJsonObject &obj, const char *key, int &member)
{
    const auto it = obj.constFind(QLatin1String(key));
    if (it != obj.constEnd()) {
        member = it->isDouble() ? it->toInt() : 0;
    }
}

} // namespace

AppUpgradeInfo AppUpgradeInfo::fromJson(const QJsonObject &obj)
{
    AppUpgradeInfo info;
    readString(obj, "appUpgradeId", info.appUpgradeId);
    readString(obj, "appId", info.appId);
    readString(obj, "appCode", info.appCode);
    readString(obj, "os", info.os);
    readString(obj, "version", info.version);
    readInt(obj, "versionNo", info.versionNo);
    readString(obj, "fullVersionUrl", info.fullVersionUrl);
    readString(obj, "upgradeUrl", info.upgradeUrl);
    readString(obj, "lastUpgradeInfo", info.lastUpgradeInfo);
    readInt(obj, "limitUpgradeVersionNo", info.limitUpgradeVersionNo);
    readInt(obj, "forceUpgrade", info.forceUpgrade);
    readInt(obj, "preRelease", info.preRelease);
    readInt(obj, "noPrompt", info.noPrompt);
    readInt(obj, "disable", info.disable);
    readString(obj, "comment", info.comment);
    readString(obj, "createTime", info.createTime);
    readString(obj, "updateTime", info.updateTime);
    return info;
}

QString HomeUpgradeDlg::upgradeToolName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("upgradeTool.exe");
#else
    return QStringLiteral("upgradeTool");
#endif
}

QString HomeUpgradeDlg::upgradeToolCopyName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("upgradeTool2.exe");
#else
    return QStringLiteral("upgradeTool2");
#endif
}

QString HomeUpgradeDlg::upgradeIniName()
{
    return QStringLiteral("upgradeTool.ini");
}

HomeUpgradeDlg::HomeUpgradeDlg(QWidget *parent) : HomeBaseDlg(parent)
{
    const QString copy = PathUtil::appDir() + upgradeToolCopyName();
    if (FileUtil::fileExists(copy) && !FileUtil::removeFile(copy)) {
        qDebug() << "清理升级工具替身失败，下次启动重试:" << copy;
    }
}

HomeUpgradeDlg::~HomeUpgradeDlg()
{
    qDebug() << "HomeUpgradeDlg::~HomeUpgradeDlg";
}

void HomeUpgradeDlg::writeUpgradeIni(const QString &path, const AppUpgradeInfo &info)
{
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QStringLiteral("upgrade/currVersionNo"), BuildInfo::versionNumber);
    ini.setValue(QStringLiteral("upgrade/appCode"), info.appCode);
    ini.setValue(QStringLiteral("upgrade/version"), info.version);
    ini.setValue(QStringLiteral("upgrade/versionNo"), info.versionNo);
    ini.setValue(QStringLiteral("upgrade/limitUpgradeVersionNo"), info.limitUpgradeVersionNo);
    ini.setValue(QStringLiteral("upgrade/upgradeUrl"), info.upgradeUrl);
    ini.setValue(QStringLiteral("upgrade/fullVersionUrl"), info.fullVersionUrl);
    ini.setValue(QStringLiteral("upgrade/forceUpgrade"), info.forceUpgrade);
    ini.sync();
    if (ini.status() != QSettings::NoError) {
        qWarning() << "HomeUpgradeDlg::writeUpgradeIni: cannot write" << path;
    }
}

bool HomeUpgradeDlg::openBrowserUrl(const QString &text)
{
    return WebEnginePage::openInBrowser(QUrl(text, QUrl::TolerantMode), "HomeDlg::openBrowserUrl");
}

void HomeUpgradeDlg::slotWebMsg(const QString &funcName, const QString &param)
{
    if (funcName == QLatin1String("UpgradeNow")) {
        upgradeNow(param);
        return;
    }
    XDialog::slotWebMsg(funcName, param);
}

void HomeUpgradeDlg::upgradeNow(const QString &param)
{
    const AppUpgradeInfo info = AppUpgradeInfo::fromJson(JsonUtil::str2Json(param));
    if (!PathUtil::isAppDirWritable()) {
        upgradeInstalled(info);
        return;
    }
    const QString dir = PathUtil::appDir();
    writeUpgradeIni(dir + upgradeIniName(), info);

    const QString tool = dir + upgradeToolName();
    const QString copy = dir + upgradeToolCopyName();
    bool copied = false;
    if (FileUtil::fileExists(tool)) {
        copied = FileUtil::copyFile(tool, copy);
        if (!copied) {
            qDebug() << "复制升级工具替身失败，使用原升级工具继续更新";
        }
    }
#if !defined(Q_OS_WIN)
    // A copied file keeps its permission bits only where the copy carries them.
    if (copied) {
        QFile::setPermissions(copy, QFile::permissions(tool));
    }
#endif
    QProcess::startDetached(copied ? copy : tool, QStringList(), dir);
    close();
}

void HomeUpgradeDlg::upgradeInstalled(const AppUpgradeInfo &info)
{
    const QString dir = PathUtil::userConfigDir();
    const QString ini = dir + upgradeIniName();
    writeUpgradeIni(ini, info);

    // The installed tool is never copied: its folder is not ours to write. It is told where
    // the hand-over file is, since that is not beside it.
    const QString tool = PathUtil::privateDir() + upgradeToolName();
    if (FileUtil::fileExists(tool)) {
        if (QProcess::startDetached(tool, {ini}, dir)) {
            close();
            return;
        }
        qWarning() << "HomeUpgradeDlg::upgradeNow: cannot start" << tool;
    } else {
        qInfo() << "HomeUpgradeDlg::upgradeNow: no upgrade tool installed in"
                << PathUtil::privateDir() << ", opening the release in the browser";
    }
    const QString url = info.fullVersionUrl.isEmpty() ? info.upgradeUrl : info.fullVersionUrl;
    // Without a page to show, the user keeps the client rather than losing it for nothing.
    if (openBrowserUrl(url)) {
        close();
    }
}
