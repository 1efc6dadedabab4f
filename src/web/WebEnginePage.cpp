#include "WebEnginePage.h"

#include <QDesktopServices>
#include <QMetaEnum>
#include <QTimer>
#include <QWebEngineCertificateError>
#include <QWebEngineProfile>

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

WebEnginePage::WebEnginePage(QObject *parent)
    : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
{}

void WebEnginePage::setServiceUrl(const QUrl &url)
{
    service = originOf(url);
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
    QString origin = scheme + QLatin1String("://") + url.host().toLower();
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
    QDesktopServices::openUrl(url);
    return true;
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
