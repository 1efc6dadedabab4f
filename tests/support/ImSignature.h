#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QString>

// A user signature as the IM service issues one: an HS256 JSON Web Token for user and app.
inline QString imSignature(const QByteArray &key, const QString &user, qint64 app,
                           qint64 lifeSeconds = 3600)
{
    const auto b64 = [](const QByteArray &bytes) {
        return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    };
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QByteArray header = b64(R"({"alg":"HS256","typ":"JWT"})");
    const QByteArray claims =
        b64(QJsonDocument(
                QJsonObject{{"sub", user}, {"app", app}, {"iat", now}, {"exp", now + lifeSeconds}})
                .toJson(QJsonDocument::Compact));
    const QByteArray signed_ = header + '.' + claims;
    const QByteArray mac =
        QMessageAuthenticationCode::hash(signed_, key, QCryptographicHash::Sha256);
    return QString::fromLatin1(signed_ + '.' + b64(mac));
}
