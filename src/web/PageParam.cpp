#include "PageParam.h"

#include "JsonUtil.h"

#include <QUrl>
#include <QUrlQuery>

#include <openssl/evp.h>

#include <memory>

const char *const PageParam::defaultKey = "9f4e27b1c05d48a3b6e1d2c7a8f03b64";

namespace {

constexpr int keyBytes = 32;
constexpr int blockBytes = 16;

QByteArray keyBytesOf(const QString &key)
{
    return key.isEmpty() ? QByteArray(PageParam::defaultKey) : key.toUtf8();
}

struct CipherContextFree
{
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

// One pass of AES-256-ECB with PKCS#7 padding through OpenSSL; empty on any failure.
QByteArray runCipher(const QByteArray &input, const QByteArray &key, bool encrypting)
{
    if (key.size() != keyBytes || input.isEmpty()) {
        return QByteArray();
    }
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context) {
        return QByteArray();
    }
    const auto *keyData = reinterpret_cast<const unsigned char *>(key.constData());
    if (EVP_CipherInit_ex(context.get(), EVP_aes_256_ecb(), nullptr, keyData, nullptr,
                          encrypting ? 1 : 0) != 1) {
        return QByteArray();
    }
    QByteArray output(input.size() + blockBytes, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(output.data());
    int written = 0;
    if (EVP_CipherUpdate(context.get(), out, &written,
                         reinterpret_cast<const unsigned char *>(input.constData()),
                         input.size()) != 1) {
        return QByteArray();
    }
    int tail = 0;
    if (EVP_CipherFinal_ex(context.get(), out + written, &tail) != 1) {
        return QByteArray();
    }
    output.truncate(written + tail);
    return output;
}

} // namespace

QByteArray PageParam::encrypt(const QByteArray &plain, const QString &key)
{
    return runCipher(plain, keyBytesOf(key), true);
}

QByteArray PageParam::decrypt(const QByteArray &cipher, const QString &key)
{
    return runCipher(cipher, keyBytesOf(key), false);
}

QString PageParam::percentEncode(const QString &text)
{
    // QByteArray::toPercentEncoding leaves exactly the unreserved set alone and writes upper-case
    // hex digits.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

QString PageParam::encode(const QJsonObject &param, const QString &key)
{
    const QByteArray cipher = encrypt(JsonUtil::toCompactString(param).toUtf8(), key);
    return percentEncode(QString::fromLatin1(cipher.toBase64()));
}

QJsonObject PageParam::decode(const QString &encoded, const QString &key)
{
    const QByteArray base64 = QByteArray::fromPercentEncoding(encoded.toLatin1());
    const auto decoded =
        QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return QJsonObject();
    }
    return JsonUtil::str2Json(QString::fromUtf8(decrypt(*decoded, key)));
}

QString PageParam::routeUrl(const QString &baseUrl, const QString &route)
{
    static const QString prefix = QStringLiteral("/#/src/pages");
    QString path = route;
    if (!path.startsWith(prefix)) {
        if (!path.startsWith(QLatin1Char('/'))) {
            path.prepend(QLatin1Char('/'));
        }
        path.prepend(prefix);
    }
    return baseUrl + path;
}

QUrl PageParam::withParam(const QString &url, const QString &encoded)
{
    const int hash = url.indexOf(QLatin1Char('#'));
    if (hash < 0) {
        QUrl parsed(url, QUrl::TolerantMode);
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("param"), encoded);
        parsed.setQuery(query);
        return parsed;
    }
    QString text = url;
    text += url.indexOf(QLatin1Char('?'), hash) < 0 ? QLatin1Char('?') : QLatin1Char('&');
    text += QStringLiteral("param=") + encoded;
    return QUrl(text, QUrl::TolerantMode);
}
