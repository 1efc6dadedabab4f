#pragma once

#include "HomeUpgradeDlg.h"

#include <QPointer>

class DeviceTestDlg;
class QTimer;

// The main window: hosts the service's web application and carries out its commands.
class HomeDlg : public HomeUpgradeDlg
{
    Q_OBJECT

public:
    static constexpr int exitUploadDeadlineMs = 60000;
    static constexpr int exitUploadRetries = 2;

    explicit HomeDlg(QWidget *parent = nullptr);
    ~HomeDlg() override;

    // "Brimvale" in Chinese, "brimvale" otherwise, then " v" and the version.
    static QString windowTitleFor(const QString &lang);
    // The text handed to the page with "SetQtEnv".
    static QJsonObject qtEnv();

    bool isExitUploadInProgress() const { return exitUploadInProgress; }
    bool isLogPackaging() const { return logPackaging; }
    DeviceTestDlg *deviceTest() const;

public slots:
    void slotSingleApplicationMessage(const QString &message) override;

private slots:
    void slotOpenLive(const QString &param);
    void slotCloseLive(const QString &param);
    void slotUploadExitTimeout();
    void slotWebMsg(const QString &funcName, const QString &param) override;

protected:
    void maximizeWindow() override;
    void restoreWindow() override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void onImReady();
    void onChangeTheme(const QString &name);
    void onUploadFinished(const QString &param);
    void openDeviceTest(const QString &liveId);
    void startLogPackaging(bool showTip);

    // The open class; this window deletes it when the class closes.
    QWidget *liveDlg = nullptr;
    // The open device test; it deletes itself when closed.
    QPointer<DeviceTestDlg> deviceTestDlg;
    bool exitUploadInProgress = false;
    bool exitUploadAttempted = false;
    QTimer *exitTimer = nullptr;
    int exitRetries = 0;
    bool logPackaging = false;
};
