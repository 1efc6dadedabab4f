#pragma once

#include "TitleMenuDlg.h"

// The live classroom window: loads the class page, hands its messages to the layers below,
// keeps the page's layout rectangles, keeps its floating windows in place and closes in order:
// leave the room, quit the group, log out, then tell the home window.
class LiveDlg : public TitleMenuDlg
{
    Q_OBJECT

public:
    explicit LiveDlg(QWidget *parent = nullptr);
    ~LiveDlg() override;

    void setLiveId(const QString &id);
    QString getLiveId() const { return liveId; }
    void closeEx() override;
    void setDeviceState() override;
    void setWorkRect(const QJsonObject &object);
    void setBoardRect(const QJsonObject &object);
    void setCameraListRect(const QJsonObject &object);
    QRect getWorkRect() const { return workRect; }
    QRect getBoardRect() const { return boardRect; }
    QRect getCameraListRect() const { return cameraListRect; }
    LiveOverlay *getLiveOverlay() const { return liveOverlay; }
    static int loadFinishedCount();

public slots:
    void slotWebMsg(const QString &funcName, const QString &param) override;

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void resizeLiveOverlay();
    void placeScreenRender();
    // The page's rectangle in window coordinates; null when its size is not positive.
    QRect pageRectFrom(const QJsonObject &object, const char *logText);
    void logWindows(const QString &step);

    bool closeLivePublished = false;
};
