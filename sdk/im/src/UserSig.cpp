#include "UserSig.h"

#include "brv_im.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

namespace brvim {

namespace {

const auto b64url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

QByteArray mac(const QByteArray &data, const std::string &key)
{
    return QMessageAuthenticationCode::hash(data, QByteArray::fromStdString(key),
                                            QCryptographicHash::Sha256);
}

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (int i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

bool decodePart(const QByteArray &part, QJsonObject &out)
{
    const auto r =
        QByteArray::fromBase64Encoding(part, b64url | QByteArray::AbortOnBase64DecodingErrors);
    if (!r)
        return false;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(r.decoded, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    out = doc.object();
    return true;
}

bool splitToken(const std::string &token, QList<QByteArray> &parts)
{
    if (token.size() > 8192)
        return false;
    parts = QByteArray::fromStdString(token).split('.');
    return parts.size() == 3;
}

bool fillClaims(const QJsonObject &payload, UserSigClaims &claims)
{
    const QJsonValue sub = payload.value(QStringLiteral("sub"));
    const QJsonValue exp = payload.value(QStringLiteral("exp"));
    if (!sub.isString() || !exp.isDouble())
        return false;
    claims.sub = sub.toString().toStdString();
    claims.exp = int64_t(exp.toDouble());
    const QJsonValue app = payload.value(QStringLiteral("app"));
    claims.app = app.isDouble()   ? int64_t(app.toDouble())
                 : app.isString() ? app.toString().toLongLong()
                                  : -1;
    return true;
}

} // namespace

bool readUserSigClaims(const std::string &token, UserSigClaims &claims)
{
    QList<QByteArray> parts;
    QJsonObject payload;
    return splitToken(token, parts) && decodePart(parts[1], payload) && fillClaims(payload, claims);
}

int checkUserSig(const std::string &token, const std::string &key, UserSigClaims &claims)
{
    QList<QByteArray> parts;
    QJsonObject header, payload;
    if (!splitToken(token, parts) || !decodePart(parts[0], header) ||
        !decodePart(parts[1], payload))
        return TIM_ERR_USERSIG_INVALID;
    if (header.value(QStringLiteral("alg")).toString() != QLatin1String("HS256"))
        return TIM_ERR_USERSIG_INVALID;
    const QByteArray expected = mac(parts[0] + '.' + parts[1], key).toBase64(b64url);
    if (!sameBytes(expected, parts[2]) || !fillClaims(payload, claims))
        return TIM_ERR_USERSIG_INVALID;
    return TIM_SUCC;
}

int judgeUserSig(const std::string &token, const std::string &key, const std::string &user,
                 uint64_t appId, int64_t now, UserSigClaims &claims)
{
    const int code = checkUserSig(token, key, claims);
    if (code != TIM_SUCC)
        return code;
    if (claims.sub != user || (claims.app >= 0 && uint64_t(claims.app) != appId))
        return TIM_ERR_USERSIG_INVALID;
    if (claims.exp <= now)
        return TIM_ERR_USERSIG_EXPIRED;
    return TIM_SUCC;
}

std::string signUserSig(const std::string &user, int64_t seconds, const std::string &key,
                        int64_t now, int64_t app)
{
    QJsonObject header{{QStringLiteral("alg"), QStringLiteral("HS256")},
                       {QStringLiteral("typ"), QStringLiteral("JWT")}};
    QJsonObject payload{{QStringLiteral("sub"), QString::fromStdString(user)},
                        {QStringLiteral("iat"), double(now)},
                        {QStringLiteral("exp"), double(now + seconds)}};
    if (app >= 0)
        payload.insert(QStringLiteral("app"), double(app));
    const QByteArray signingInput =
        QJsonDocument(header).toJson(QJsonDocument::Compact).toBase64(b64url) + '.' +
        QJsonDocument(payload).toJson(QJsonDocument::Compact).toBase64(b64url);
    return (signingInput + '.' + mac(signingInput, key).toBase64(b64url)).toStdString();
}

const std::string &demoUserSigKey()
{
    static const std::string key = BRV_IM_DEMO_USERSIG_KEY;
    return key;
}

} // namespace brvim
