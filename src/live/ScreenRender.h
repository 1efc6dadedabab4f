#pragma once

#include "XPage.h"

// Another user's shared screen, drawn by the SDK into a black native area over the class page.
class ScreenRender : public XPage
{
    Q_OBJECT

public:
    explicit ScreenRender(QWidget *parent = nullptr);

    void setUserId(const QString &id) { userId = id; }
    QString getUserId() const { return userId; }
    QWidget *getVideoView() const { return videoView; }
    bool isStarted() const { return started; }

    void startVideo();
    void stopVideo();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QString userId;
    QWidget *videoView = nullptr;
    bool started = false;
};
