#pragma once

#include <QString>
#include <QUrl>
#include <QWebEnginePage>

// The page of every web view: console output goes to the log and certificate errors are
// refused, because the page drives the bridge and must come from the real service. It knows
// the service's origin, so that the bridge can tell the service's pages from any other page the
// user reaches, and it never opens a window of its own: a page's request for one goes to the
// user's browser when it is a web address.
class WebEnginePage : public QWebEnginePage
{
    Q_OBJECT

public:
    // The name of the page script that takes the channel's transport from other origins.
    static const char *const serviceOnlyScript;

    explicit WebEnginePage(QObject *parent = nullptr);

    // The pages of this URL's origin (scheme, host, port) are the service's; documents of any
    // other origin get no channel transport.
    void setServiceUrl(const QUrl &url);
    QString serviceOrigin() const { return service; }
    // Whether the main frame shows a page of the service's origin.
    bool isServicePage() const;

    // "scheme://host[:port]", lower-case, without the scheme's default port; empty for a URL
    // without a host (data:, about:, file:).
    static QString originOf(const QUrl &url);
    // Only web links go to the desktop; anything else could open files or start programs.
    static bool isBrowserUrl(const QUrl &url);
    // Hands a web address to the user's browser; anything else is refused with a warning that
    // begins with `caller`. True when the desktop took the link.
    static bool openInBrowser(const QUrl &url, const char *caller);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;
    bool certificateError(const QWebEngineCertificateError &error) override;
    QWebEnginePage *createWindow(WebWindowType type) override;

private:
    QString service;
};
