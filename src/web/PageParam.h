#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>

// The page-open parameter travels in the page URL: compact JSON, AES-256-ECB with PKCS#7
// padding under a fixed key, Base64, then percent-encoded so that it survives the router.
class PageParam
{
public:
    static const char *const defaultKey;

    // An empty key means the default key; a key that is not 32 bytes in UTF-8 yields nothing.
    static QByteArray encrypt(const QByteArray &plain, const QString &key = QString());
    // The reverse, for the demo service and diagnostics; empty on any error (bad padding too).
    static QByteArray decrypt(const QByteArray &cipher, const QString &key = QString());

    // Compact JSON -> AES -> Base64 -> percent-encoding.
    static QString encode(const QJsonObject &param, const QString &key = QString());
    // The reverse of encode(); an empty object when the text does not decode.
    static QJsonObject decode(const QString &encoded, const QString &key = QString());

    // Every character outside the RFC 3986 unreserved set becomes %XX (upper-case hex).
    static QString percentEncode(const QString &text);

    // The service URL of a route: base URL + "/#/src/pages" + route (unless already prefixed).
    static QString routeUrl(const QString &baseUrl, const QString &route);
    // The URL with "param=<encoded>" added: inside the fragment when there is one, else as query.
    static QUrl withParam(const QString &url, const QString &encoded);
};
