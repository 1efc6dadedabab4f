#include "FileDownloader.h"
#include "FileUtil.h"
#include "PostUtil.h"

#include "LogCapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Canned HTTP/1.1 responses on 127.0.0.1, one request per connection. A held route answers only
// when release() is called, so a request can be kept in flight as long as a test needs.
class HttpServer : public QObject
{
public:
    struct Route
    {
        int status = 200;
        QByteArray body;
        bool hold = false;
    };

    HttpServer()
    {
        connect(&server, &QTcpServer::newConnection, this, &HttpServer::accept);
        server.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return server.isListening(); }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }
    void route(const QByteArray &path, const Route &r) { routes.insert(path, r); }
    QList<QByteArray> requests() const { return received; }
    // Answers a held request, if its connection is still open.
    void release(const QByteArray &path)
    {
        QPointer<QTcpSocket> socket = held.take(path);
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            respond(socket, routes.value(path));
        }
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = pending[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n")) {
            return;
        }
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        pending.remove(socket);
        const QByteArray path = requestLine.value(1);
        received.append(path);
        const Route r = routes.value(path, Route{404, "not found", false});
        if (r.hold) {
            held.insert(path, socket);
        } else {
            respond(socket, r);
        }
    }

    static void respond(QTcpSocket *socket, const Route &r)
    {
        const QByteArray reason = r.status == 200 ? "OK" : "Not Found";
        socket->write("HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reason +
                      "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                      QByteArray::number(r.body.size()) + "\r\nConnection: close\r\n\r\n" + r.body);
        socket->disconnectFromHost();
    }

    QTcpServer server;
    QHash<QByteArray, Route> routes;
    QHash<QTcpSocket *, QByteArray> pending;
    QHash<QByteArray, QPointer<QTcpSocket>> held;
    QList<QByteArray> received;
};

QByteArray patternedBody(int size)
{
    QByteArray body(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        body[i] = static_cast<char>('a' + (i * 7) % 26);
    }
    return body;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A user that permission bits do not stop (root) can still create files in the directory.
bool permissionsOverridden(const QString &dir)
{
    QFile probe(dir + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly)) {
        return false;
    }
    probe.remove();
    return true;
}

const QFileDevice::Permissions readOnly =
    QFileDevice::ReadOwner | QFileDevice::ReadUser | QFileDevice::ExeOwner | QFileDevice::ExeUser;
const QFileDevice::Permissions readWrite =
    readOnly | QFileDevice::WriteOwner | QFileDevice::WriteUser;

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        server.reset(new HttpServer);
        QVERIFY(server->isListening());
    }

    void downloadDeliversBodyAndProgress()
    {
        const QByteArray body = patternedBody(300000);
        server->route("/files/avatar.png", {200, body, false});
        FileDownloader downloader;
        QSignalSpy finished(&downloader, &FileDownloader::finished);
        QSignalSpy progress(&downloader, &FileDownloader::downloadProgress);

        downloader.download(server->url(QStringLiteral("/files/avatar.png")));
        QVERIFY(downloader.isDownloading());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);

        QCOMPARE(finished.first().first().toInt(), 0);
        QCOMPARE(downloader.data(), body);
        QCOMPARE(downloader.fileName(), QStringLiteral("avatar.png"));
        QVERIFY(!downloader.isDownloading());
        QVERIFY(!progress.isEmpty());
        qlonglong previous = 0;
        for (const QList<QVariant> &args : qAsConst(progress)) {
            QVERIFY(args.at(0).toLongLong() >= previous);
            QCOMPARE(args.at(1).toLongLong(), qlonglong(body.size()));
            previous = args.at(0).toLongLong();
        }
        QCOMPARE(previous, qlonglong(body.size()));
    }

    void secondDownloadReplacesFirst()
    {
        server->route("/first", {200, "first body", true});
        server->route("/second", {200, "second body", false});
        FileDownloader downloader;
        QSignalSpy finished(&downloader, &FileDownloader::finished);

        downloader.download(server->url(QStringLiteral("/first")));
        QTRY_VERIFY(server->requests().contains("/first"));
        downloader.download(server->url(QStringLiteral("/second")));
        QCOMPARE(downloader.fileName(), QStringLiteral("second"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(finished.first().first().toInt(), 0);
        QCOMPARE(downloader.data(), QByteArray("second body"));

        // Whatever still comes in for the first request must change nothing.
        server->release("/first");
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(downloader.data(), QByteArray("second body"));
        QVERIFY(!downloader.isDownloading());
    }

    void notFoundReportsContentNotFound()
    {
        server->route("/missing.png", {404, "no such avatar", false});
        FileDownloader downloader;
        QSignalSpy finished(&downloader, &FileDownloader::finished);

        downloader.download(server->url(QStringLiteral("/missing.png")));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(finished.first().first().toInt(), int(QNetworkReply::ContentNotFoundError));
        QCOMPARE(finished.first().first().toInt(), 203);
        QVERIFY(downloader.data().isEmpty());
        QVERIFY(!downloader.isDownloading());
    }

    void abortedRequestReportsCancel()
    {
        server->route("/held", {200, "never seen", true});
        FileDownloader downloader;
        QSignalSpy finished(&downloader, &FileDownloader::finished);

        downloader.download(server->url(QStringLiteral("/held")));
        QTRY_VERIFY(server->requests().contains("/held"));
        QNetworkReply *reply = downloader.findChild<QNetworkReply *>();
        QVERIFY(reply);
        reply->abort();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(finished.first().first().toInt(), int(QNetworkReply::OperationCanceledError));
        QCOMPARE(finished.first().first().toInt(), 5);
        QVERIFY(downloader.data().isEmpty());
        QVERIFY(!downloader.isDownloading());
    }

    // A server that takes the request and never answers must not hold the owner for ever.
    void stalledServerTimesOut()
    {
        server->route("/online-users.json", {200, "[]", true});
        server->route("/next.json", {200, "[1]", false});
        FileDownloader downloader;
        QCOMPARE(downloader.timeout(), 30000);
        downloader.setTimeout(400);
        QSignalSpy finished(&downloader, &FileDownloader::finished);
        QElapsedTimer clock;
        clock.start();

        downloader.download(server->url(QStringLiteral("/online-users.json")));
        QTRY_VERIFY(server->requests().contains("/online-users.json"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(clock.elapsed() >= 400);
        QCOMPARE(finished.first().first().toInt(), int(QNetworkReply::TimeoutError));
        QVERIFY(downloader.data().isEmpty());
        QVERIFY(!downloader.isDownloading());

        // A late answer to the abandoned request changes nothing; the next request is not cut
        // short by the old timer and reports once.
        server->release("/online-users.json");
        downloader.download(server->url(QStringLiteral("/next.json")));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QCOMPARE(finished.at(1).first().toInt(), 0);
        QCOMPARE(downloader.data(), QByteArray("[1]"));
        QTest::qWait(600);
        QCOMPARE(finished.count(), 2);
        QCOMPARE(downloader.data(), QByteArray("[1]"));
    }

    // A time-out counts from each request's start: a replaced request's timer does not end the
    // one that replaced it early.
    void timeoutRestartsWithEachRequest()
    {
        server->route("/slow-a", {200, "a", true});
        server->route("/slow-b", {200, "b", true});
        FileDownloader downloader;
        downloader.setTimeout(700);
        QSignalSpy finished(&downloader, &FileDownloader::finished);

        downloader.download(server->url(QStringLiteral("/slow-a")));
        QTest::qWait(400);
        downloader.download(server->url(QStringLiteral("/slow-b")));
        QTRY_VERIFY(server->requests().contains("/slow-b"));
        QTest::qWait(450);
        // 850 ms after the first start, 450 ms after the second: still waiting.
        QCOMPARE(finished.count(), 0);
        server->release("/slow-b");
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(finished.first().first().toInt(), 0);
        QCOMPARE(downloader.data(), QByteArray("b"));
    }

    void fileNameFromUrl_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("percent-encoded")
            << "/avatars/%E5%A4%B4%E5%83%8F%20%231.png" << QStringLiteral("头像 #1.png");
        QTest::newRow("query not part of it") << "/a/b.txt?size=2"
                                              << "b.txt";
        QTest::newRow("trailing slash") << "/avatars/"
                                        << "";
    }

    void fileNameFromUrl()
    {
        QFETCH(QString, path);
        QFETCH(QString, fileName);
        FileDownloader downloader;
        QSignalSpy finished(&downloader, &FileDownloader::finished);
        downloader.download(server->url(path));
        QCOMPARE(downloader.fileName(), fileName);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(downloader.fileName(), fileName);
    }

    void dataClearedWhenNextDownloadStarts()
    {
        server->route("/a", {200, "body a", false});
        server->route("/b", {200, "body b", true});
        FileDownloader downloader;
        QSignalSpy finished(&downloader, &FileDownloader::finished);

        downloader.download(server->url(QStringLiteral("/a")));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(downloader.data(), QByteArray("body a"));

        downloader.download(server->url(QStringLiteral("/b")));
        QVERIFY(downloader.data().isEmpty());
        QVERIFY(downloader.isDownloading());
        QTRY_VERIFY(server->requests().contains("/b"));
        server->release("/b");
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QCOMPARE(downloader.data(), QByteArray("body b"));
    }

    // An owner may start the next download from its finished() handler.
    void downloadStartedFromFinishedHandler()
    {
        server->route("/list", {200, "list", false});
        server->route("/avatar", {200, "avatar", false});
        FileDownloader downloader;
        QSignalSpy finished(&downloader, &FileDownloader::finished);
        bool chained = false;
        connect(&downloader, &FileDownloader::finished, this, [&] {
            if (!chained) {
                chained = true;
                downloader.download(server->url(QStringLiteral("/avatar")));
            }
        });

        downloader.download(server->url(QStringLiteral("/list")));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QCOMPARE(finished.at(1).first().toInt(), 0);
        QCOMPARE(downloader.data(), QByteArray("avatar"));
        QVERIFY(!downloader.isDownloading());
    }

    void postUtilTransferTimeout()
    {
        PostUtil post;
        const QNetworkAccessManager *manager = post.findChild<QNetworkAccessManager *>();
        QVERIFY(manager);
        QCOMPARE(manager->transferTimeout(), 10000);
    }

    void copyFileCopiesAndLogs()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("新版本.exe"));
        const QString target = dir.filePath(QStringLiteral("copy.exe"));
        QVERIFY(writeFile(source, "new build"));
        LogCapture capture;

        QVERIFY(FileUtil::copyFile(source, target));
        QCOMPARE(readFile(target), QByteArray("new build"));
        QCOMPARE(capture.messages(),
                 QStringList{QStringLiteral("文件复制成功: ") + source + " -> " + target});
    }

    void copyFileReplacesExistingTarget()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("source"));
        const QString target = dir.filePath(QStringLiteral("target"));
        QVERIFY(writeFile(source, "short"));
        QVERIFY(writeFile(target, "a longer old content"));

        QVERIFY(FileUtil::copyFile(source, target));
        QCOMPARE(readFile(target), QByteArray("short"));
        QCOMPARE(readFile(source), QByteArray("short"));
    }

    void copyFileKeepsTargetThatCannotBeRemoved()
    {
        QTemporaryDir dir;
        const QString locked = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(locked));
        const QString source = dir.filePath(QStringLiteral("source"));
        const QString target = locked + QStringLiteral("/target");
        QVERIFY(writeFile(source, "new"));
        QVERIFY(writeFile(target, "old"));
        QVERIFY(QFile::setPermissions(target, readOnly));
        QVERIFY(QFile::setPermissions(locked, readOnly));
        const bool overridden = permissionsOverridden(locked);
        if (overridden) {
            QFile::setPermissions(locked, readWrite);
            QSKIP("Permission bits do not stop this user (root) from removing files");
        }
        LogCapture capture;

        const bool copied = FileUtil::copyFile(source, target);
        const QByteArray content = readFile(target);
        QFile::setPermissions(locked, readWrite);
        QVERIFY(!copied);
        QCOMPARE(content, QByteArray("old"));
        QCOMPARE(capture.messages(),
                 QStringList{QStringLiteral("无法删除已存在的目标文件: ") + target});
    }

    void copyFileRejectsInvalidSource()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir().mkdir(folder));
        const QString missing = dir.filePath(QStringLiteral("missing"));
        const QString target = dir.filePath(QStringLiteral("target"));
        QVERIFY(writeFile(target, "keep"));
        LogCapture capture;

        QVERIFY(!FileUtil::copyFile(folder, target));
        QVERIFY(!FileUtil::copyFile(missing, target));
        QCOMPARE(capture.messages(),
                 (QStringList{QStringLiteral("源文件不存在或不是有效的文件: ") + folder,
                              QStringLiteral("源文件不存在或不是有效的文件: ") + missing}));
        // The check comes before the target is touched.
        QCOMPARE(readFile(target), QByteArray("keep"));
    }

    // Removing the target first must not destroy a source that is the same file.
    void copyFileOntoItselfKeepsFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("file"));
        QVERIFY(writeFile(file, "only copy"));
        const QString sameFile = dir.path() + QStringLiteral("/./file");

        QVERIFY(!FileUtil::copyFile(file, sameFile));
        QCOMPARE(readFile(file), QByteArray("only copy"));
    }

    void copyFileKeepsTargetWhenSourceUnreadable()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("source"));
        const QString target = dir.filePath(QStringLiteral("target"));
        QVERIFY(writeFile(source, "secret"));
        QVERIFY(writeFile(target, "old"));
        QVERIFY(QFile::setPermissions(source, QFileDevice::WriteOwner));
        QFile probe(source);
        if (probe.open(QIODevice::ReadOnly)) {
            QSKIP("Permission bits do not stop this user (root) from reading files");
        }

        QVERIFY(!FileUtil::copyFile(source, target));
        QCOMPARE(readFile(target), QByteArray("old"));
    }

private:
    QScopedPointer<HttpServer> server;
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
