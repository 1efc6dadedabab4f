#include "JsBridge.h"

#include "WebEnginePage.h"

#include <QDebug>

namespace {
// A dropped message is named in the log, never copied into it whole.
constexpr int loggedNameLength = 64;
} // namespace

JsBridge::JsBridge(QObject *parent) : QObject(parent) {}

void JsBridge::servePage(WebEnginePage *servedPage)
{
    page = servedPage;
}

bool JsBridge::isServing() const
{
    return page && page->isServicePage();
}

void JsBridge::slotWebMsg(const QString &funcName, const QString &param)
{
    if (!isServing()) {
        const QUrl url = page ? page->url() : QUrl();
        QString origin = WebEnginePage::originOf(url);
        if (origin.isEmpty()) {
            // data:, about: and the like have no host; their scheme says enough.
            origin = url.scheme() + QLatin1Char(':');
        }
        qWarning().noquote() << "JsBridge::slotWebMsg: dropped a message from another origin:"
                             << origin.left(loggedNameLength) << funcName.left(loggedNameLength);
        return;
    }
    emit signalWebMsg(funcName, param);
}
