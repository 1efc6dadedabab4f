#include "XWebDialog.h"

#include "DeviceInfo.h"
#include "JsBridge.h"
#include "JsonUtil.h"
#include "LangUtil.h"
#include "PageParam.h"
#include "ThemeStyle.h"
#include "WebEnginePage.h"
#include "WebEngineView.h"
#include "XMessageBox.h"

#include "BuildInfo.h"

#include <QDateTime>
#include <QWebChannel>

XWebDialog::XWebDialog(QWidget *parent) : XBaseDialog(parent) {}

XWebDialog::~XWebDialog()
{
    // The channel goes before the objects it publishes, the view last.
    delete channel;
    channel = nullptr;
    delete jsBridge;
    jsBridge = nullptr;
    delete view;
    view = nullptr;
}

void XWebDialog::createWebView()
{
    if (view != nullptr) {
        return;
    }
    view = new WebEngineView(this);
    view->page()->setBackgroundColor(Qt::transparent);
    channel = new QWebChannel(this);
    jsBridge = new JsBridge(this);
    channel->registerObject(QStringLiteral("bridge"), jsBridge);
    // Only the service's pages are served: the bridge drops what other pages send, and what the
    // window sends waits while one of them is shown, until a service page is ready again.
    view->webPage()->setServiceUrl(QUrl(QString::fromUtf8(BuildInfo::baseUrl)));
    jsBridge->servePage(view->webPage());
    view->page()->setWebChannel(channel);
    view->show();
    connect(jsBridge, &JsBridge::signalWebMsg, this, &XWebDialog::slotWebMsg);
    connect(view->page(), &QWebEnginePage::urlChanged, this, [this]() {
        if (!jsBridge->isServing()) {
            pageReady = false;
        }
    });
    connect(view, &WebEngineView::signalLoadFailed, this, &XWebDialog::showLoadFailure);
}

void XWebDialog::showLoadFailure()
{
    XMessageBox::error(LangUtil::trCommon(QStringLiteral("netError")));
}

void XWebDialog::loadPage(const QString &route, QJsonObject param)
{
    createWebView();
    const QString url = PageParam::routeUrl(QString::fromUtf8(BuildInfo::baseUrl), route);
    param.insert(QStringLiteral("tenantId"), QString());
    param.insert(QStringLiteral("os"), DeviceInfo::osName());
    param.insert(QStringLiteral("borderRadius"), ThemeStyle::instance()->borderRadius);
    param.insert(QStringLiteral("timestamp"), QString::number(QDateTime::currentMSecsSinceEpoch()));
    view->openUrl(url, param);
}

void XWebDialog::sendWebMsg(const QString &funcName, const QString &param)
{
    if (pageReady && jsBridge != nullptr && jsBridge->isServing()) {
        emit jsBridge->signalQtMsg(funcName, param);
        return;
    }
    pending.append(
        QJsonObject{{QStringLiteral("func"), funcName}, {QStringLiteral("param"), param}});
}

void XWebDialog::sendWebMsg(const QString &funcName, const QJsonObject &param)
{
    sendWebMsg(funcName, JsonUtil::toCompactString(param));
}

void XWebDialog::sendWebMsg(const QString &funcName, bool param)
{
    sendWebMsg(funcName, param ? QStringLiteral("1") : QStringLiteral("0"));
}

void XWebDialog::sendWebMsg(const QString &funcName, uint param)
{
    sendWebMsg(funcName, QString::number(param));
}

void XWebDialog::slotWebMsg(const QString &funcName, const QString &param)
{
    Q_UNUSED(param)
    if (funcName != QLatin1String("LoadFinished")) {
        return;
    }
    // The queue stays: a page that reloads and reports again gets the same messages again.
    if (jsBridge == nullptr || !jsBridge->isServing()) {
        return;
    }
    pageReady = true;
    for (const QJsonValue &value : qAsConst(pending)) {
        const QJsonObject message = value.toObject();
        emit jsBridge->signalQtMsg(message.value(QStringLiteral("func")).toString(),
                                   message.value(QStringLiteral("param")).toString());
    }
}

void XWebDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
}
