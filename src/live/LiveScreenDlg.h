#pragma once

#include "LiveCameraDlg.h"
#include "ShareSourceView.h"

// The layer of screen sharing and recording: the share chooser and frame, the capture of a
// chosen source or of the window's own work area, and another user's shared screen over the page.
class LiveScreenDlg : public LiveCameraDlg
{
    Q_OBJECT

public:
    explicit LiveScreenDlg(QWidget *parent = nullptr);
    ~LiveScreenDlg() override;

    void showScreenRender(const QString &userId) override;
    void hideScreenRender() override;
    void startRecord() override;
    void showShareOption() override;
    void stopScreenShare() override;

    void startScreenShare(const liteav::TRTCScreenCaptureSourceInfo &sourceInfo);
    void stopScreenShareCapture();
    void showShareFrame();
    void selectRecordTarget();
    // Ends the recording, whichever way it is made.
    void stopRecordCapture();
    // True from the start of a recording into a file until the SDK has answered its end.
    bool isRecordingToFile() const { return !recordFilePath.isEmpty(); }

    ScreenRender *getScreenRender() const { return screenRender; }
    ShareOptionDlg *getShareOptionDlg() const { return shareOptionDlg; }
    ShareFrameDlg *getShareFrameDlg() const { return shareFrameDlg; }
    // The room id as the window title writes it: a space before every group of three digits.
    static QString groupedRoomId(int roomId);

protected slots:
    void slotShareSourceChosen(ShareSourceItem item);
    void slotShareFrameClosed();

protected:
    void localRecordBegan(int code, const QString &path) override;
    void localRecordFinished(int code, const QString &path) override;
    // The rectangle the screen view covers: the web view's, or the window's without one.
    QRect pageRect() const;

private:
    // Without a media server the work area goes into a file in the user's videos folder.
    void startFileRecord();
    void recordFileFailed(const QString &reason, int code);

    QString recordFilePath;
    // Where the frame goes: around the chosen source when it has a place on the screen.
    QRect shareArea;
};
