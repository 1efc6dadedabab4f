#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QVariant>
#include <QWebEnginePage>

// Runs a script in the page and waits for its value (invalid after 10 s without one).
inline QVariant evalJs(QWebEnginePage *page, const QString &script)
{
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant &value) {
        result = value;
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return result;
}
