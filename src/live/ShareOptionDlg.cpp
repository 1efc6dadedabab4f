#include "ShareOptionDlg.h"

#include "ThemeStyle.h"
#include "TrtcUtil.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QImage>
#include <QTimer>

ShareOptionDlg::ShareOptionDlg(QWidget *owner) : XDialog(nullptr)
{
    ownerWidget = owner;
    setObjectName(QStringLiteral("ShareOptionDlg"));
    resize(720, 480);
    view = new ShareSourceView(this);
    view->setObjectName(QStringLiteral("shareSourceView"));
    setTitle(QStringLiteral("选择共享内容"));
    setStaysOnTop();
    connect(view, &ShareSourceView::signalClickedSourceInfo, this,
            &ShareOptionDlg::slotClickedSourceInfo);
    timer = new QTimer(this);
    timer->setInterval(refreshIntervalMs);
    connect(timer, &QTimer::timeout, this, &ShareOptionDlg::timerFunc);
}

QList<ShareSourceItem> ShareOptionDlg::itemsFrom(liteav::ITRTCScreenCaptureSourceList *sources)
{
    QList<ShareSourceItem> items;
    if (sources == nullptr) {
        return items;
    }
    for (uint32_t i = 0; i < sources->getCount(); ++i) {
        const liteav::TRTCScreenCaptureSourceInfo info = sources->getSourceInfo(i);
        ShareSourceItem item;
        item.type = static_cast<int>(info.type);
        item.sourceId = reinterpret_cast<quintptr>(info.sourceId);
        item.isMainScreen = info.isMainScreen;
        item.x = info.x;
        item.y = info.y;
        item.width = static_cast<int>(info.width);
        item.height = static_cast<int>(info.height);
        item.name = info.sourceName != nullptr ? QString::fromUtf8(info.sourceName) : QString();
        const liteav::TRTCImageBuffer &thumb = info.thumbBGRA;
        // A buffer shorter than its stated picture is not read at all.
        const qint64 needed = qint64(thumb.width) * qint64(thumb.height) * 4;
        if (thumb.buffer != nullptr && thumb.width > 0 && thumb.height > 0 &&
            qint64(thumb.length) >= needed) {
            const QImage image(reinterpret_cast<const uchar *>(thumb.buffer),
                               static_cast<int>(thumb.width), static_cast<int>(thumb.height),
                               static_cast<int>(thumb.width) * 4, QImage::Format_ARGB32);
            item.thumbnail = QPixmap::fromImage(image.copy());
        }
        items.append(item);
    }
    return items;
}

liteav::TRTCScreenCaptureSourceInfo ShareOptionDlg::sourceInfoFor(const ShareSourceItem &item)
{
    liteav::TRTCScreenCaptureSourceInfo info;
    info.type = static_cast<liteav::TRTCScreenCaptureSourceType>(item.type);
    info.sourceId = reinterpret_cast<liteav::TXView>(item.sourceId);
    info.isMainScreen = item.isMainScreen;
    info.x = item.x;
    info.y = item.y;
    info.width = static_cast<uint32_t>(qMax(0, item.width));
    info.height = static_cast<uint32_t>(qMax(0, item.height));
    info.isMinimizeWindow = false;
    return info;
}

void ShareOptionDlg::refresh()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    liteav::ITRTCScreenCaptureSourceList *sources = TrtcUtil::instance()->getScreenCaptureSources();
    const QList<ShareSourceItem> items = itemsFrom(sources);
    if (sources != nullptr) {
        sources->release();
    }
    view->setItems(items);
    QApplication::restoreOverrideCursor();
}

void ShareOptionDlg::timerFunc()
{
    if (isVisible()) {
        refresh();
    }
}

void ShareOptionDlg::slotClickedSourceInfo(ShareSourceItem item)
{
    qDebug() << "ShareOptionDlg::slotClickedSourceInfo" << item.name;
    if (ownerWidget != nullptr) {
        emit signalShareSourceChosen(item);
    }
    hide();
}

void ShareOptionDlg::showEvent(QShowEvent *event)
{
    XDialog::showEvent(event);
    timer->start();
    refresh();
    // Where the chooser and its first source are, for whoever must find them on the display.
    qDebug() << "ShareOptionDlg::showEvent window" << winId() << "first source at"
             << view->mapTo(this, view->itemRect(0).center());
}

void ShareOptionDlg::hideEvent(QHideEvent *event)
{
    timer->stop();
    XDialog::hideEvent(event);
}

void ShareOptionDlg::closeEvent(QCloseEvent *event)
{
    timer->stop();
    view->resetView();
    XDialog::closeEvent(event);
}

void ShareOptionDlg::resizeEvent(QResizeEvent *event)
{
    XDialog::resizeEvent(event);
    const int titleH = isTitleBarVisible() ? ThemeStyle::instance()->titleHeight : 0;
    view->setGeometry(20, titleH + 10, width() - 40, height() - titleH - 30);
}
