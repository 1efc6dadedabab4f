#pragma once

#include "XPage.h"

class QTimer;

// The class's transparent, always-on-top page over the live window's content: sub dialogs of
// the class are shown in it, and what its page sends reaches the live window.
class LiveOverlay : public XPage
{
    Q_OBJECT

public:
    static constexpr int hideDelayMs = 80;

    explicit LiveOverlay(QWidget *anchor);

    void showOverlay();
    QTimer *hideTimer() const { return timer; }
    // "[round-corner]", the step and the overlay's window state, as one log line.
    void logState(const QString &step) const;

signals:
    void signalWebMsg(QString funcName, QString param);

public slots:
    void slotWebMsg(const QString &funcName, const QString &param) override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QTimer *timer = nullptr;
};
