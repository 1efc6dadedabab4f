#pragma once

#include "TrtcCallback.h"
#include "XDialog.h"

#include <QHash>

#include <cstdint>

class QCheckBox;
class QLabel;
class QMediaPlayer;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class SwitchButton;
class XComboBox;

// The device test before a class: camera picture, microphone level, speaker test and the beauty
// filter. Every choice goes to the settings through TrtcUtil, so the live window later uses the
// same devices. Opened for a class, it offers to join it.
class DeviceTestDlg : public XDialog, public TrtcCallback
{
    Q_OBJECT

public:
    explicit DeviceTestDlg(QWidget *parent = nullptr);
    ~DeviceTestDlg() override;

    void setLiveId(const QString &liveId);
    QString liveId() const { return liveIdText; }
    bool isBeautyPageShown() const { return beautyPageShown; }

    // SDK events; they arrive on the SDK's threads.
    void onError(TXLiteAVError errCode, const char *errMsg, void *extraInfo) override;
    void onWarning(TXLiteAVWarning warningCode, const char *warningMsg, void *extraInfo) override;
    void onSpeedTestResult(const TRTCSpeedTestResult &result) override;
    void onDeviceChange(const char *deviceId, TXMediaDeviceType type,
                        TXMediaDeviceState state) override;
    void onTestMicVolume(uint32_t volume) override;

signals:
    void signalSetMicVolume(uint32_t volume);

private slots:
    void on_cmbCamera_currentIndexChanged(int index);
    void on_cmbMic_currentIndexChanged(int index);
    void on_cmbSpeaker_currentIndexChanged(int index);
    void slotSwitchCameraClicked(bool active);
    void slotSwitchMicClicked(bool active);
    void slotSwitchSpeakerClicked(bool active);
    void slotBeautyChanged();
    void slotShowBeautyClicked();
    void slotBeautyBackClicked();
    void on_pbPlayTest_clicked();
    void on_pbEnterRoom_clicked();
    void slotSetMicVolume(uint32_t volume);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createWidgets();
    void connectWidgets();
    void applyTexts();
    // The font-size rule of a text that was made smaller to fit; empty for the others.
    QString fontRule(const QWidget *widget) const;
    void showPage(bool beauty);
    // Refills the combo box of a device type; the selection falls on the stored device, else on
    // the first one, which is then stored.
    void fillDeviceCombo(int type, XComboBox *combo);
    XComboBox *comboFor(int type) const;
    void chooseDevice(int type, int index);
    void startTest(int type);
    void stopTest(int type);
    // Runs on the GUI thread: the device list of a type changed.
    void refreshDevices(int type);

    QString liveIdText;
    QHash<const QWidget *, int> fittedFontSizes;
    bool beautyPageShown = false;

    QWidget *videoArea = nullptr;
    QWidget *videoView = nullptr;
    QLabel *labCameraDisable = nullptr;
    QLabel *labCamera = nullptr;
    XComboBox *cmbCamera = nullptr;
    SwitchButton *switchCamera = nullptr;
    QPushButton *pbBeauty = nullptr;
    QLabel *labMic = nullptr;
    XComboBox *cmbMic = nullptr;
    SwitchButton *switchMic = nullptr;
    QProgressBar *progressMicVolume = nullptr;
    QLabel *labSpeaker = nullptr;
    XComboBox *cmbSpeaker = nullptr;
    SwitchButton *switchSpeaker = nullptr;
    QPushButton *pbPlayTest = nullptr;
    QPushButton *pbEnterRoom = nullptr;

    QCheckBox *chkBeauty = nullptr;
    QLabel *labBeautyStyle = nullptr;
    QRadioButton *radioBeautySmooth = nullptr;
    QRadioButton *radioBeautyNature = nullptr;
    QLabel *labBeauty = nullptr;
    QLabel *labWhiteness = nullptr;
    QLabel *labRuddiness = nullptr;
    QSlider *sliderBeauty = nullptr;
    QSlider *sliderWhiteness = nullptr;
    QSlider *sliderRuddiness = nullptr;
    QLabel *labBeautyValue = nullptr;
    QLabel *labWhitenessValue = nullptr;
    QLabel *labRuddinessValue = nullptr;
    QPushButton *pbBeautyBack = nullptr;

    QMediaPlayer *player = nullptr;
};
