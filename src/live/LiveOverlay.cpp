#include "LiveOverlay.h"

#include "WebEnginePage.h"
#include "WebEngineView.h"

#include <QDebug>
#include <QJsonObject>
#include <QScreen>
#include <QTimer>

LiveOverlay::LiveOverlay(QWidget *anchor) : XPage(nullptr)
{
    setObjectName(QStringLiteral("LiveOverlay"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setBackgroundColor(Qt::transparent);
    bgColor = Qt::transparent;
    setAnchorWidget(anchor);
    loadPage(QStringLiteral("/qt/live/overlay/index"), QJsonObject());
    if (webView() != nullptr) {
        // The class shows through wherever the overlay page draws nothing.
        webView()->page()->setBackgroundColor(Qt::transparent);
    }
    hide();
    timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &QWidget::hide);
    logState(QStringLiteral("overlay-ctor"));
}

void LiveOverlay::logState(const QString &step) const
{
    qDebug().noquote() << "[round-corner]" << step << "| overlay visible:" << isVisible()
                       << "geom:" << geometry()
                       << "tool:" << ((windowFlags() & Qt::Tool) == Qt::Tool)
                       << "frameless:" << windowFlags().testFlag(Qt::FramelessWindowHint)
                       << "topmost:" << windowFlags().testFlag(Qt::WindowStaysOnTopHint)
                       << "translucent:" << testAttribute(Qt::WA_TranslucentBackground);
}

void LiveOverlay::showOverlay()
{
    logState(QStringLiteral("overlay-showOverlay-before"));
    timer->stop();
    show();
}

void LiveOverlay::slotWebMsg(const QString &funcName, const QString &param)
{
    XPage::slotWebMsg(funcName, param);
    if (funcName == QLatin1String("HideLiveOverlay")) {
        timer->start(hideDelayMs);
    }
    emit signalWebMsg(funcName, param);
}

void LiveOverlay::showEvent(QShowEvent *event)
{
    QWidget *anchorWidget = anchor;
    if (anchorWidget != nullptr && anchorWidget->screen() != nullptr && screen() != nullptr &&
        anchorWidget->screen() != screen()) {
        const QPoint shift = anchorWidget->screen()->availableGeometry().topLeft() -
                             screen()->availableGeometry().topLeft();
        move(pos() + shift);
    }
    XPage::showEvent(event);
    logState(QStringLiteral("overlay-showEvent"));
}

void LiveOverlay::hideEvent(QHideEvent *event)
{
    XPage::hideEvent(event);
    logState(QStringLiteral("overlay-hideEvent"));
}

void LiveOverlay::resizeEvent(QResizeEvent *event)
{
    XPage::resizeEvent(event);
    fitChild(webView());
}
