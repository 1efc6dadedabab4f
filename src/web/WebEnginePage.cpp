#include "WebEnginePage.h"

#include <QMetaEnum>
#include <QWebEngineCertificateError>
#include <QWebEngineProfile>

WebEnginePage::WebEnginePage(QObject *parent)
    : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
{}

void WebEnginePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                             const QString &message, int lineNumber,
                                             const QString &sourceID)
{
    const QMetaEnum levels = QMetaEnum::fromType<JavaScriptConsoleMessageLevel>();
    qDebug() << "Level:" << levels.valueToKey(level) << "Line:" << lineNumber
             << "Source:" << sourceID << "Message:" << message;
}

bool WebEnginePage::certificateError(const QWebEngineCertificateError &error)
{
    qWarning() << "WebEnginePage::certificateError" << error.url().toString() << error.error()
               << error.errorDescription();
    return false;
}
