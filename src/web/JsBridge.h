#pragma once

#include <QObject>
#include <QString>

// The object a page sees as "bridge" on its WebChannel. Both directions carry a function name
// and a parameter string; the bridge itself keeps no state and validates nothing.
class JsBridge : public QObject
{
    Q_OBJECT

public:
    explicit JsBridge(QObject *parent = nullptr);

signals:
    // Native to page; the page subscribes to it.
    void signalQtMsg(const QString &funcName, const QString &param);
    // Page to native, re-emitted for the window.
    void signalWebMsg(const QString &funcName, const QString &param);

public slots:
    // Called by the page through the channel.
    void slotWebMsg(const QString &funcName, const QString &param);
};
