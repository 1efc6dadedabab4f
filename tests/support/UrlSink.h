#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the desktop's URL handlers (QDesktopServices::setUrlHandler(scheme, sink,
// "open")), so that no test opens a browser; the handlers go with the sink.
class UrlSink : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};
