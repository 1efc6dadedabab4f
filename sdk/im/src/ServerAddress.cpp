#include "Xmpp.h"

#include <QUrl>
#include <QUrlQuery>

namespace brvim {

bool parseServerAddress(const std::string &text, ServerAddress &out)
{
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("xmpp") || url.host().isEmpty())
        return false;
    out.host = url.host().toStdString();
    out.port = url.port(5222);
    QString domain = url.path();
    while (domain.startsWith(QLatin1Char('/')))
        domain.remove(0, 1);
    if (domain.isEmpty() || domain.contains(QLatin1Char('/')))
        return false;
    out.domain = domain.toStdString();
    const QUrlQuery query(url);
    out.mucDomain = query.queryItemValue(QStringLiteral("muc"), QUrl::FullyDecoded).toStdString();
    if (out.mucDomain.empty())
        out.mucDomain = "conference." + out.domain;
    QString pin = query.queryItemValue(QStringLiteral("pin"), QUrl::FullyDecoded);
    if (!pin.isEmpty()) {
        if (!pin.startsWith(QLatin1String("sha256:")))
            return false;
        pin = pin.mid(7).remove(QLatin1Char(':')).toUpper();
        if (pin.size() != 64)
            return false;
        out.pinSha256 = pin.toStdString();
    }
    out.caFile = query.queryItemValue(QStringLiteral("cafile"), QUrl::FullyDecoded).toStdString();
    return true;
}

} // namespace brvim
