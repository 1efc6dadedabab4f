#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A plain HTTP server on loopback, on a free port, for pages of "another site": it answers GET
// requests with the page registered for the path (404 otherwise) and notes every request line.
class LocalHttpServer : public QTcpServer
{
public:
    QHash<QByteArray, QByteArray> pages;
    QList<QByteArray> requests;

    bool start() { return listen(QHostAddress::LocalHost, 0); }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }
    // Qt's own page side of the channel, for pages that try the bridge.
    static QByteArray channelScript()
    {
        QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() {
            QByteArray &buffer = pending[socket];
            buffer += socket->readAll();
            if (!buffer.contains("\r\n\r\n") || buffer.size() > 65536) {
                return;
            }
            const QList<QByteArray> words = buffer.left(buffer.indexOf("\r\n")).split(' ');
            pending.remove(socket);
            const QByteArray path = words.value(1);
            requests << path;
            const QByteArray query = path.left(path.indexOf('?'));
            const auto page = pages.constFind(path.contains('?') ? query : path);
            const bool found = page != pages.constEnd();
            const QByteArray body = found ? page.value() : QByteArray("not found");
            socket->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                          QByteArray("Content-Type: text/html; charset=utf-8\r\nContent-Length: ") +
                          QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, [this, socket]() {
            pending.remove(socket);
            socket->deleteLater();
        });
    }

private:
    QHash<QTcpSocket *, QByteArray> pending;
};
