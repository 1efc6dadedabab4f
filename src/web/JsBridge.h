#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class WebEnginePage;

// The object a page sees as "bridge" on its WebChannel. Both directions carry a function name
// and a parameter string. The bridge serves one page, and only while that page's main frame is
// on the service's origin: a message from any other page the user reached is dropped here, so
// that no receiver of signalWebMsg ever sees one. Parameters are not validated here.
class JsBridge : public QObject
{
    Q_OBJECT

public:
    explicit JsBridge(QObject *parent = nullptr);

    void servePage(WebEnginePage *page);
    // Whether the served page shows the service now; false without a page.
    bool isServing() const;

signals:
    // Native to page; the page subscribes to it.
    void signalQtMsg(const QString &funcName, const QString &param);
    // Page to native, re-emitted for the window.
    void signalWebMsg(const QString &funcName, const QString &param);

public slots:
    // Called by the page through the channel.
    void slotWebMsg(const QString &funcName, const QString &param);

private:
    QPointer<WebEnginePage> page;
};
