#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpServer>
#include <QWebSocket>
#include <QtTest>

// A Chrome DevTools protocol client on one page of a running client: the first page target
// whose URL starts with the prefix (the home page by default).
class PageDriver
{
public:
    explicit PageDriver(const QString &prefix = homePagePrefix()) : urlPrefix(prefix)
    {
        network.setProxy(QNetworkProxy::NoProxy);
        socket.setProxy(QNetworkProxy::NoProxy);
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
            const QJsonObject reply = QJsonDocument::fromJson(text.toUtf8()).object();
            if (reply.contains(QStringLiteral("id"))) {
                replies.insert(reply.value(QStringLiteral("id")).toInt(), reply);
            }
        });
    }

    // A loopback port free at the moment, for a client's debugging endpoint.
    static quint16 freePort()
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        return server.serverPort();
    }

    static QString homePagePrefix()
    {
        return QStringLiteral("brimvale-demo://service/#/src/pages/qt/start/index");
    }

    // Finds the page among the debugging targets and opens its socket; the endpoint comes
    // up a while after the process starts.
    bool attach(quint16 port, int timeoutMs = 60000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            const QString target = targetSocketUrl(port);
            if (!target.isEmpty()) {
                socket.open(QUrl(target));
                if (QTest::qWaitFor(
                        [this]() { return socket.state() == QAbstractSocket::ConnectedState; },
                        10000)) {
                    return true;
                }
                socket.abort();
            }
            QTest::qWait(100);
        }
        error = QStringLiteral("no debugging target for %1 on port %2").arg(urlPrefix).arg(port);
        return false;
    }

    void detach()
    {
        socket.abort();
        replies.clear();
    }

    // Evaluates an expression in the page; promises are awaited. An exception or a lost reply
    // gives an undefined value and the reason in `error`.
    QJsonValue evaluate(const QString &expression, int timeoutMs = 15000)
    {
        const int id = ++lastId;
        const QJsonObject request{
            {QStringLiteral("id"), id},
            {QStringLiteral("method"), QStringLiteral("Runtime.evaluate")},
            {QStringLiteral("params"), QJsonObject{{QStringLiteral("expression"), expression},
                                                   {QStringLiteral("returnByValue"), true},
                                                   {QStringLiteral("awaitPromise"), true}}}};
        socket.sendTextMessage(
            QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)));
        if (!QTest::qWaitFor([&]() { return replies.contains(id); }, timeoutMs)) {
            error = QStringLiteral("no answer to: ") + expression.left(120);
            return QJsonValue(QJsonValue::Undefined);
        }
        const QJsonObject reply = replies.take(id);
        const QJsonObject result = reply.value(QStringLiteral("result")).toObject();
        if (reply.contains(QStringLiteral("error")) ||
            result.contains(QStringLiteral("exceptionDetails"))) {
            error = QString::fromUtf8(QJsonDocument(reply).toJson(QJsonDocument::Compact));
            return QJsonValue(QJsonValue::Undefined);
        }
        return result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
    }

    // Calls a page function with JSON arguments.
    QJsonValue call(const QString &function, const QJsonArray &args, int timeoutMs = 15000)
    {
        return evaluate(QStringLiteral("(%1).apply(null, %2)")
                            .arg(function, QString::fromUtf8(
                                               QJsonDocument(args).toJson(QJsonDocument::Compact))),
                        timeoutMs);
    }

    // True once the page's bridge is connected and "LoadFinished" has gone out. The first
    // document is replaced while the page loads, which ends a pending evaluation: ask again.
    bool waitReady(int timeoutMs = 30000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            const QJsonValue ready =
                call(QStringLiteral("function () { return new Promise(function (resolve) {"
                                    "  var end = Date.now() + 5000;"
                                    "  (function poll() {"
                                    "    if (window.brvDemo && window.brvDemo.ready) resolve(true);"
                                    "    else if (Date.now() > end) resolve(false);"
                                    "    else setTimeout(poll, 20);"
                                    "  })(); }); }"),
                     {}, 10000);
            if (ready.toBool()) {
                return true;
            }
            QTest::qWait(50);
        }
        error = QStringLiteral("the page never connected its bridge: ") + error;
        return false;
    }

    // The nth (from 1) message of that name the page received, waiting for it to arrive.
    QJsonObject waitForMessage(const QString &func, int nth = 1, int timeoutMs = 30000)
    {
        const QJsonValue found = call(
            QStringLiteral("function (f, n, t) { var d = window.brvDemo;"
                           " return new Promise(function (resolve) {"
                           "  function pick() {"
                           "    var m = d.received.filter(function (x) { return x.func === f; });"
                           "    return m.length >= n ? m[n - 1] : null;"
                           "  }"
                           "  var timer = 0, now = pick();"
                           "  if (now) { resolve(now); return; }"
                           "  timer = setTimeout(function () { timer = 0; resolve(null); }, t);"
                           "  d.onMessage(function () { var m = pick();"
                           "    if (m && timer) { clearTimeout(timer); timer = 0; resolve(m); } });"
                           "}); }"),
            {func, nth, timeoutMs}, timeoutMs + 5000);
        if (!found.isObject()) {
            error = QStringLiteral("the page did not receive %1 #%2").arg(func).arg(nth);
        }
        return found.toObject();
    }

    // The names of every message received so far, in order.
    QStringList receivedNames()
    {
        QStringList names;
        const QJsonArray all =
            evaluate(QStringLiteral("window.brvDemo.received.map(function (m) { return m.func; })"))
                .toArray();
        for (const QJsonValue &v : all) {
            names << v.toString();
        }
        return names;
    }

    QStringList sentNames()
    {
        QStringList names;
        const QJsonArray all =
            evaluate(QStringLiteral("window.brvDemo.sent.map(function (m) { return m.func; })"))
                .toArray();
        for (const QJsonValue &v : all) {
            names << v.toString();
        }
        return names;
    }

    bool send(const QString &func, const QJsonValue &param)
    {
        return call(sendFunction, {func, param}).toBool();
    }

    // For messages that end the client: the answer may be lost with the process, so none is
    // awaited; the caller watches the process instead.
    void post(const QString &func, const QJsonValue &param)
    {
        const QJsonObject request{
            {QStringLiteral("id"), ++lastId},
            {QStringLiteral("method"), QStringLiteral("Runtime.evaluate")},
            {QStringLiteral("params"),
             QJsonObject{{QStringLiteral("expression"),
                          QStringLiteral("(%1).apply(null, %2)")
                              .arg(sendFunction,
                                   QString::fromUtf8(QJsonDocument(QJsonArray{func, param})
                                                         .toJson(QJsonDocument::Compact)))}}}};
        socket.sendTextMessage(
            QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)));
        socket.flush();
    }

    QString error;

private:
    QString targetSocketUrl(quint16 port)
    {
        QNetworkReply *reply = network.get(
            QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json").arg(port))));
        if (!QTest::qWaitFor([reply]() { return reply->isFinished(); }, 5000)) {
            reply->abort();
        }
        const QJsonArray targets = QJsonDocument::fromJson(reply->readAll()).array();
        reply->deleteLater();
        for (const QJsonValue &v : targets) {
            const QJsonObject t = v.toObject();
            if (t.value(QStringLiteral("type")).toString() == QLatin1String("page") &&
                t.value(QStringLiteral("url")).toString().startsWith(urlPrefix)) {
                return t.value(QStringLiteral("webSocketDebuggerUrl")).toString();
            }
        }
        return QString();
    }

    const QString sendFunction =
        QStringLiteral("function (f, p) { window.brvDemo.send(f, p); return true; }");
    QString urlPrefix;
    QNetworkAccessManager network;
    QWebSocket socket;
    QHash<int, QJsonObject> replies;
    int lastId = 0;
};
