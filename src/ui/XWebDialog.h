#pragma once

#include "XBaseDialog.h"

#include <QJsonArray>
#include <QJsonObject>

class JsBridge;
class QWebChannel;
class WebEngineView;

// Adds the window's web page and the bridge to it. Messages to the page wait in a queue until
// the page says "LoadFinished", and again while a page of another origin is shown, until a page
// of the service says "LoadFinished" once more. Only the service's pages reach slotWebMsg.
class XWebDialog : public XBaseDialog
{
    Q_OBJECT

public:
    explicit XWebDialog(QWidget *parent = nullptr);
    ~XWebDialog() override;

    void sendWebMsg(const QString &funcName, const QString &param);
    void sendWebMsg(const QString &funcName, const QJsonObject &param);
    void sendWebMsg(const QString &funcName, bool param);
    void sendWebMsg(const QString &funcName, uint param);
    // Creates the view, channel and bridge and opens the route with the parameter.
    void loadPage(const QString &route, QJsonObject param);

    WebEngineView *webView() const { return view; }
    JsBridge *bridge() const { return jsBridge; }
    // False until "LoadFinished", and while the main frame is on another origin.
    bool isPageReady() const { return pageReady; }
    const QJsonArray &pendingMessages() const { return pending; }

public slots:
    virtual void slotWebMsg(const QString &funcName, const QString &param);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createWebView();
    static void showLoadFailure();

    QJsonArray pending;
    QWebChannel *channel = nullptr;
    JsBridge *jsBridge = nullptr;
    WebEngineView *view = nullptr;
    bool pageReady = false;
};
