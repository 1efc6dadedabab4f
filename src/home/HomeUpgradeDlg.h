#pragma once

#include "HomeBaseDlg.h"

#include <QJsonObject>

// The release record the home page sends with "UpgradeNow".
struct AppUpgradeInfo
{
    QString appUpgradeId;
    QString appId;
    QString appCode;
    QString os;
    QString version;
    int versionNo = 0;
    QString fullVersionUrl;
    QString upgradeUrl;
    QString lastUpgradeInfo;
    int limitUpgradeVersionNo = 0;
    int forceUpgrade = 0;
    int preRelease = 0;
    int noPrompt = 0;
    int disable = 0;
    QString comment;
    QString createTime;
    QString updateTime;

    static AppUpgradeInfo fromJson(const QJsonObject &obj);
};

// Hands an update over to the separate upgrade tool and closes the home window for it.
class HomeUpgradeDlg : public HomeBaseDlg
{
    Q_OBJECT

public:
    // The tool and the copy of it that runs, so that the tool can replace its own file.
    static QString upgradeToolName();
    static QString upgradeToolCopyName();
    static QString upgradeIniName();

    explicit HomeUpgradeDlg(QWidget *parent = nullptr);
    ~HomeUpgradeDlg() override;

    // Writes the hand-over file for the tool.
    static void writeUpgradeIni(const QString &path, const AppUpgradeInfo &info);

public slots:
    void slotWebMsg(const QString &funcName, const QString &param) override;

protected:
    // The "OpenBrowserUrl" rule: a web link opens in the user's browser, anything else is
    // refused with a log line. True when the link went to the desktop.
    static bool openBrowserUrl(const QString &text);

private:
    void upgradeNow(const QString &param);
    // The package manager owns an installed client: nothing is written beside it.
    void upgradeInstalled(const AppUpgradeInfo &info);
};
