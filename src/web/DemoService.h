#pragma once

#include <QWebEngineUrlSchemeHandler>

// The demo service built into the client: the pages under the demo resources, served through
// a scheme of our own, so that the client runs with no account and no network.
class DemoService : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    static const char *const scheme;

    // Whether this build's base URL points at the demo service.
    static bool isActive(const QString &baseUrl);
    // Before the application object exists.
    static void registerScheme();
    // Installs the handler on the default profile; once the application object exists.
    static void install();

    // The resource a request path maps to, or an empty string when it is not served.
    static QString resourceFor(const QUrl &url);
    static QByteArray mimeTypeFor(const QString &resource);
    // "/session.js": the demo user BRV_DEMO_USER names, or null.
    static QByteArray sessionScript();

    explicit DemoService(QObject *parent = nullptr);
    void requestStarted(QWebEngineUrlRequestJob *job) override;
};
