#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

// The request object every dialog owns: a network manager with a transfer time-out, ready for
// requests the dialogs may make. Nothing is sent through it yet.
class PostUtil : public QObject
{
    Q_OBJECT

public:
    static constexpr int transferTimeoutMs = 10000;

    explicit PostUtil(QObject *parent = nullptr);

private:
    QNetworkAccessManager *m_manager = nullptr;
    QJsonObject m_header;
    QJsonObject m_body;
    int m_requestId = 0;
    QString m_url;
};
