#include "WebEnginePage.h"

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QTimer>
#include <QWebEngineCertificateError>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace {

// Stands in for the window a page asked for: the first address it is sent to goes to the
// user's browser (or is refused), and the stand-in goes with it. It never shows anything.
class NewWindowRequest : public QWebEnginePage
{
public:
    static constexpr int waitMs = 10000;

    explicit NewWindowRequest(QObject *parent)
        : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
    {
        connect(this, &QWebEnginePage::urlChanged, this, &NewWindowRequest::take);
        // A request that never names an address does not keep its page.
        QTimer::singleShot(waitMs, this, &QObject::deleteLater);
    }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        Q_UNUSED(type)
        if (isMainFrame) {
            take(url);
        }
        return false;
    }

private:
    void take(const QUrl &url)
    {
        if (taken || url.isEmpty()) {
            return;
        }
        taken = true;
        WebEnginePage::openInBrowser(url, "WebEnginePage::createWindow");
        deleteLater();
    }

    bool taken = false;
};

} // namespace

const char *const WebEnginePage::serviceOnlyScript = "brv-service-only";

WebEnginePage::WebEnginePage(QObject *parent)
    : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
{}

void WebEnginePage::setServiceUrl(const QUrl &url)
{
    service = originOf(url);
    // The engine gives every document of the main frame the channel's transport. A document of
    // another origin loses it before any of its own scripts runs, so that it cannot call the
    // bridge at all, not even from an unload handler after the service's page is back (its
    // messages would then carry the service's address). The bridge still checks each message.
    const QString name = QString::fromLatin1(serviceOnlyScript);
    for (const QWebEngineScript &old : scripts().findScripts(name)) {
        scripts().remove(old);
    }
    QWebEngineScript script;
    script.setName(name);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    const QString origin =
        QString::fromUtf8(QJsonDocument(QJsonArray{service}).toJson(QJsonDocument::Compact));
    script.setSourceCode(
        QStringLiteral("(function (service) {"
                       "  var here = location.protocol + '//' + location.host;"
                       "  if (here === service || typeof window.qt === 'undefined') return;"
                       "  try { delete window.qt; } catch (e) {}"
                       "  if (typeof window.qt !== 'undefined') window.qt = undefined;"
                       "})(%1[0]);")
            .arg(origin));
    scripts().insert(script);
}

bool WebEnginePage::isServicePage() const
{
    return !service.isEmpty() && originOf(url()) == service;
}

QString WebEnginePage::originOf(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty()) {
        return QString();
    }
    const QString scheme = url.scheme().toLower();
    int port = url.port();
    if ((scheme == QLatin1String("http") && port == 80) ||
        (scheme == QLatin1String("https") && port == 443)) {
        port = -1;
    }
    // The host as the engine spells it in location.host: ASCII (punycode), IPv6 in brackets.
    QString host = url.host(QUrl::FullyEncoded).toLower();
    if (host.contains(QLatin1Char(':'))) {
        host = QLatin1Char('[') + host + QLatin1Char(']');
    }
    QString origin = scheme + QLatin1String("://") + host;
    if (port >= 0) {
        origin += QLatin1Char(':') + QString::number(port);
    }
    return origin;
}

bool WebEnginePage::isBrowserUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool WebEnginePage::openInBrowser(const QUrl &url, const char *caller)
{
    if (!isBrowserUrl(url)) {
        qWarning().noquote() << QLatin1String(caller) +
                                    QLatin1String(": not a web address, ignored:")
                             << url.toString().left(200);
        return false;
    }
    return QDesktopServices::openUrl(url);
}

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

QWebEnginePage *WebEnginePage::createWindow(WebWindowType type)
{
    Q_UNUSED(type)
    return new NewWindowRequest(this);
}
