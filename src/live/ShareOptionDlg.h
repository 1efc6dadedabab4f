#pragma once

#include "ShareSourceView.h"
#include "XDialog.h"

#include "brv_av.h"

class QTimer;

// The share chooser: the screens and windows that can be shared, refreshed every 1.5 s while
// shown. Choosing one reports it and hides the chooser; the live window starts the share.
class ShareOptionDlg : public XDialog
{
    Q_OBJECT

public:
    static constexpr int refreshIntervalMs = 1500;

    explicit ShareOptionDlg(QWidget *owner = nullptr);

    ShareSourceView *sourceView() const { return view; }
    QTimer *refreshTimer() const { return timer; }
    // Asks the SDK for its capture sources and shows them.
    void refresh();

    // The items of an SDK source list; thumbnails only where the SDK gave a whole picture.
    static QList<ShareSourceItem> itemsFrom(liteav::ITRTCScreenCaptureSourceList *sources);
    // The SDK's source record for a chosen item: no name, thumbnail or icon, not minimised.
    static liteav::TRTCScreenCaptureSourceInfo sourceInfoFor(const ShareSourceItem &item);

signals:
    void signalShareSourceChosen(ShareSourceItem item);

public slots:
    void timerFunc();
    void slotClickedSourceInfo(ShareSourceItem item);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    ShareSourceView *view = nullptr;
    QTimer *timer = nullptr;
};
