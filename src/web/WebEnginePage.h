#pragma once

#include <QWebEnginePage>

// The page of every web view: console output goes to the log and certificate errors are
// refused, because the page drives the bridge and must come from the real service.
class WebEnginePage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit WebEnginePage(QObject *parent = nullptr);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;
    bool certificateError(const QWebEngineCertificateError &error) override;
};
