#include "DemoService.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

const char *const DemoService::scheme = "brimvale-demo";

namespace {
const QString host = QStringLiteral("service");
const QString foreignHost = QStringLiteral("elsewhere");
const QString root = QStringLiteral(":/demo");
} // namespace

// The pages live in a static library's resources, which must be pulled in by name (outside any
// namespace, where the resource compiler defines the function).
static void loadResources()
{
#if defined(BRV_DEMO_SERVICE)
    static const bool loaded = []() {
        Q_INIT_RESOURCE(demo);
        return true;
    }();
    Q_UNUSED(loaded)
#endif
}

bool DemoService::isActive(const QString &baseUrl)
{
    return baseUrl.startsWith(QLatin1String(scheme) + QLatin1Char(':'));
}

void DemoService::registerScheme()
{
    QWebEngineUrlScheme demo(scheme);
    demo.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Secure, so that the pages get the same web platform (crypto, storage) as on https.
    demo.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled |
                  QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(demo);
}

void DemoService::install()
{
    QWebEngineProfile *profile = QWebEngineProfile::defaultProfile();
    if (profile->urlSchemeHandler(scheme) == nullptr) {
        profile->installUrlSchemeHandler(scheme, new DemoService(profile));
    }
}

DemoService::DemoService(QObject *parent) : QWebEngineUrlSchemeHandler(parent) {}

QString DemoService::resourceFor(const QUrl &url)
{
    loadResources();
    if (url.scheme() != QLatin1String(scheme)) {
        return QString();
    }
    QString path = url.path(QUrl::FullyDecoded);
    // Another origin under the same scheme, with one page that tries the bridge, so that a
    // person can see the client ignore pages that are not the service's.
    if (url.host() == foreignHost) {
        if (path == QLatin1String("/foreign.html")) {
            return QStringLiteral(":/demo-foreign/foreign.html");
        }
        return path == QLatin1String("/qwebchannel.js")
                   ? QStringLiteral(":/qtwebchannel/qwebchannel.js")
                   : QString();
    }
    if (url.host() != host) {
        return QString();
    }
    if (path.isEmpty() || path == QLatin1String("/")) {
        path = QStringLiteral("/index.html");
    }
    // The page side of the channel comes from Qt itself.
    if (path == QLatin1String("/qwebchannel.js")) {
        return QStringLiteral(":/qtwebchannel/qwebchannel.js");
    }
    // The client's own themes, so that the pages use the same colours; a script, because the
    // engine gives custom schemes no fetch().
    static const QRegularExpression themeFile(QStringLiteral("^/theme/([a-z]+)\\.js$"));
    const QRegularExpressionMatch theme = themeFile.match(path);
    if (theme.hasMatch()) {
        const QString resource = QStringLiteral(":/res/theme/%1.json").arg(theme.captured(1));
        return QFileInfo::exists(resource) ? resource : QString();
    }
    // Only files inside the demo resources: a cleaned path that climbs out is not served.
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith(QLatin1Char('/')) || clean.contains(QLatin1String(".."))) {
        return QString();
    }
    const QString resource = root + clean;
    const QFileInfo info(resource);
    return info.exists() && info.isFile() ? resource : QString();
}

QByteArray DemoService::mimeTypeFor(const QString &resource)
{
    const QString suffix = QFileInfo(resource).suffix().toLower();
    if (suffix == QLatin1String("html")) {
        return "text/html";
    }
    if (suffix == QLatin1String("js")) {
        return "text/javascript";
    }
    if (suffix == QLatin1String("json")) {
        return "application/json";
    }
    if (suffix == QLatin1String("css")) {
        return "text/css";
    }
    if (suffix == QLatin1String("png")) {
        return "image/png";
    }
    if (suffix == QLatin1String("svg")) {
        return "image/svg+xml";
    }
    return "application/octet-stream";
}

QByteArray DemoService::sessionScript()
{
    // "USER_ID[:NICKNAME[:ROLE[:LIVE_ID]]]": a demo client that signs itself in and, with a role
    // and a live id, opens that class, so that a whole class can be started from one script.
    const QStringList parts =
        QString::fromLocal8Bit(qgetenv("BRV_DEMO_USER")).split(QLatin1Char(':'));
    if (parts.value(0).trimmed().isEmpty()) {
        return "window.brvDemoSession = null;\n";
    }
    const QJsonObject session{
        {QStringLiteral("userId"), parts.value(0).trimmed()},
        {QStringLiteral("nickname"), parts.value(1, parts.value(0)).trimmed()},
        {QStringLiteral("userType"), parts.value(2).trimmed()},
        {QStringLiteral("liveId"), parts.value(3).trimmed()}};
    return "window.brvDemoSession = " + QJsonDocument(session).toJson(QJsonDocument::Compact) +
           ";\n";
}

void DemoService::requestStarted(QWebEngineUrlRequestJob *job)
{
    if (job->requestMethod() != "GET") {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const QUrl url = job->requestUrl();
    if (url.scheme() == QLatin1String(scheme) && url.host() == host &&
        url.path() == QLatin1String("/session.js")) {
        auto *session = new QBuffer(job);
        session->setData(sessionScript());
        session->open(QIODevice::ReadOnly);
        job->reply("text/javascript", session);
        return;
    }
    const QString resource = resourceFor(job->requestUrl());
    QFile file(resource);
    if (resource.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job reads the buffer after this returns; it is deleted with the job.
    QByteArray body = file.readAll();
    QByteArray mimeType = mimeTypeFor(resource);
    if (resource.startsWith(QLatin1String(":/res/theme/"))) {
        body = "window.brvApplyTheme && window.brvApplyTheme(" + body + ");\n";
        mimeType = "text/javascript";
    }
    auto *buffer = new QBuffer(job);
    buffer->setData(body);
    buffer->open(QIODevice::ReadOnly);
    job->reply(mimeType, buffer);
}
