#include "Clock.h"
#include "LogCapture.h"
#include "LogUtil.h"
#include "ZipUtil.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>

namespace {
const qint64 MiB = 1024 * 1024;
const QString capWarning = QStringLiteral("日志体积超过上报上限，仅上报较新日志，跳过:");

qint64 fixedNow()
{
    return QDateTime(QDate(2024, 3, 5), QTime(14, 2, 11, 42)).toMSecsSinceEpoch();
}
const QString archiveName = QStringLiteral("user-client-log-20240305140211042.zip");

using Entries = QMap<QString, QByteArray>; // entry name -> MD5 of its contents, hex

QByteArray md5(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

// Reads an archive with Python's zipfile, which also checks every entry's CRC.
bool readZip(const QString &zipPath, Entries *entries)
{
    QProcess python;
    python.start(QStandardPaths::findExecutable(QStringLiteral("python3")),
                 {QStringLiteral("-c"), QStringLiteral(R"(
import sys, zipfile, hashlib
with zipfile.ZipFile(sys.argv[1]) as z:
    bad = z.testzip()
    if bad: sys.exit('bad entry ' + bad)
    for i in z.infolist(): print(i.filename + '\t' + hashlib.md5(z.read(i)).hexdigest())
)"),
                  zipPath});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return false;
    }
    entries->clear();
    for (const QByteArray &line : python.readAllStandardOutput().split('\n')) {
        const int tab = line.indexOf('\t');
        if (tab > 0) {
            entries->insert(QString::fromUtf8(line.left(tab)), line.mid(tab + 1));
        }
    }
    return true;
}

QByteArray writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(data);
    }
    return md5(data);
}

// Size checks need no real text: a sparse file of the size is enough.
void sparseLog(const QString &name, qint64 size)
{
    QFile f(LogUtil::logDir() + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(size));
}

QByteArray logText(int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i) {
        text += "[2024-03-05 14:02:" + QByteArray::number(10 + i % 50) +
                ".123] Debug: [(0)]: HomeDlg::slotWebMsg \"UploadClientLog\" 上报 " +
                QByteArray::number(i) + "\r\n";
    }
    return text;
}
} // namespace

class TestLogZip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty()) {
            QSKIP("python3 is needed to read the archives");
        }
    }

    void init()
    {
        Clock::setSource(&fixedNow);
        QDir(LogUtil::logDir()).removeRecursively();
        QVERIFY(QDir().mkpath(LogUtil::logDir()));
    }

    void cleanup()
    {
        LogUtil::release();
        Clock::setSource(nullptr);
    }

    void directoryTreeKeepsRelativeNames_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("withText");
        QTest::addColumn<bool>("relative");
        QTest::newRow("log") << QStringLiteral("log") << false << false;
        QTest::newRow("LOG") << QStringLiteral("LOG") << false << false;
        QTest::newRow("no suffix") << QString() << true << false;
        QTest::newRow("relative source") << QStringLiteral("log") << false << true;
    }

    void directoryTreeKeepsRelativeNames()
    {
        QFETCH(QString, suffix);
        QFETCH(bool, withText);
        QFETCH(bool, relative);
        QTemporaryDir scratch;
        const QString src = scratch.filePath(QStringLiteral("src"));
        Entries expected;
        expected[QStringLiteral("a.log")] = writeFile(src + "/a.log", "top");
        expected[QStringLiteral("sub/")] = md5({});
        expected[QStringLiteral("sub/b.LOG")] = writeFile(src + "/sub/b.LOG", "mid");
        expected[QStringLiteral("sub/deeper/")] = md5({});
        expected[QStringLiteral("sub/deeper/c.log")] = writeFile(src + "/sub/deeper/c.log", "low");
        const QByteArray text = writeFile(src + "/sub/notes.txt", "text");
        if (withText) {
            expected[QStringLiteral("sub/notes.txt")] = text;
        }
        QVERIFY(QDir(src).mkdir(QStringLiteral("empty")));
        expected[QStringLiteral("empty/")] = md5({});
        QVERIFY(QFile::link(src, src + "/sub/loop"));

        const QString zip = scratch.filePath(QStringLiteral("out.zip"));
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(scratch.path()));
        const int result =
            ZipUtil::zipDir(relative ? QStringLiteral("src") : src + "/", zip, suffix);
        QDir::setCurrent(cwd);
        QCOMPARE(result, 0);
        Entries entries;
        QVERIFY(readZip(zip, &entries));
        QCOMPARE(entries, expected);
    }

    void fileSourceAndResultCodes()
    {
        QTemporaryDir scratch;
        const QString zip = scratch.filePath(QStringLiteral("out.zip"));
        const QByteArray sum = writeFile(scratch.filePath(QStringLiteral("20240305.log")), "day");
        QCOMPARE(ZipUtil::zipDir(scratch.filePath(QStringLiteral("20240305.log")), zip, {}), 0);
        Entries entries;
        QVERIFY(readZip(zip, &entries));
        QCOMPARE(entries, (Entries{{QStringLiteral("20240305.log"), sum}}));

        // A bad source leaves the earlier archive as it was.
        QFile old(zip);
        QVERIFY(old.open(QIODevice::ReadOnly));
        const QByteArray before = old.readAll();
        old.close();
        QCOMPARE(ZipUtil::zipDir(scratch.filePath(QStringLiteral("missing.log")), zip, {}), -2);

        // Even root cannot open a socket as a file.
        const QByteArray socketPath = QFile::encodeName(scratch.filePath(QStringLiteral("s.log")));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(socketPath.size()) < sizeof(address.sun_path));
        qstrcpy(address.sun_path, socketPath.constData());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        ::close(fd);
        QCOMPARE(ZipUtil::zipDir(QString::fromLocal8Bit(socketPath), zip, {}), -3);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), before);

        // A disk that fills up mid-way is a failure, not a short archive.
        if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
            QCOMPARE(ZipUtil::zipDir(scratch.path(), QStringLiteral("/dev/full"), {}), -1);
            QVERIFY(QFileInfo::exists(QStringLiteral("/dev/full")));
        }
        QCOMPARE(
            ZipUtil::zipDir(scratch.path(), scratch.filePath(QStringLiteral("no/such/a.zip")), {}),
            -1);
    }

    void zipPathNamingADirectory()
    {
        QTemporaryDir scratch;
        const QString out = scratch.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));
        writeFile(scratch.filePath(QStringLiteral("logs/20240305.log")), "day");
        QCOMPARE(ZipUtil::zipDir(scratch.filePath(QStringLiteral("logs/")), out, {}), 0);
        QCOMPARE(ZipUtil::zipDir(scratch.filePath(QStringLiteral("logs/20240305.log")), out, {}),
                 0);
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 (QStringList{QStringLiteral("20240305.zip"), QStringLiteral("logs.zip")}));

        // Into its own source: the archive must not pack itself.
        const QString logs = scratch.filePath(QStringLiteral("logs"));
        QCOMPARE(ZipUtil::zipDir(logs, logs, {}), 0);
        Entries entries;
        QVERIFY(readZip(logs + "/logs.zip", &entries));
        QCOMPARE(entries.keys(), QStringList{QStringLiteral("20240305.log")});
    }

    void capLeavesOutOlderFiles()
    {
        sparseLog(QStringLiteral("20240305.log"), 20 * MiB);
        sparseLog(QStringLiteral("20240304.log"), 20 * MiB);
        sparseLog(QStringLiteral("20240303.log"), 15 * MiB);
        LogCapture capture;
        const QString zip = LogUtil::zipLogDir();
        QCOMPARE(zip, LogUtil::logDir() + archiveName);
        QCOMPARE(capture.messages(), QStringList{capWarning + QStringLiteral(" \"20240303.log\"")});
        Entries entries;
        QVERIFY(readZip(zip, &entries));
        QCOMPARE(entries.keys(),
                 (QStringList{QStringLiteral("20240304.log"), QStringLiteral("20240305.log")}));
        // The copies are gone with the packing.
        const QString tempPattern = QCoreApplication::applicationName() + QStringLiteral("-*");
        QVERIFY(QDir(QDir::tempPath()).entryList({tempPattern}, QDir::AllEntries).isEmpty());
    }

    void newestFirstUpToTheCap_data()
    {
        // Sizes of 20240305_2.log, 20240305_1.log, 20240305.log, 20240304.log.
        QTest::addColumn<QVector<qint64>>("sizes");
        QTest::addColumn<QStringList>("packed");
        QTest::addColumn<QString>("skipped");
        const qint64 cap = LogUtil::uploadCap;
        QTest::newRow("second over") << QVector<qint64>{30 * MiB, 30 * MiB, 1, 1}
                                     << QStringList{"20240305_2.log"} << QString("20240305_1.log");
        QTest::newRow("third over")
            << QVector<qint64>{1, 1, cap, 1} << QStringList{"20240305_1.log", "20240305_2.log"}
            << QString("20240305.log");
        QTest::newRow("exactly the cap")
            << QVector<qint64>{1, 1, cap - 2, 1}
            << QStringList{"20240305.log", "20240305_1.log", "20240305_2.log"}
            << QString("20240304.log");
        QTest::newRow("newest alone over")
            << QVector<qint64>{cap + 1, 1, 1, 1} << QStringList() << QString("20240305_2.log");
    }

    void newestFirstUpToTheCap()
    {
        QFETCH(QVector<qint64>, sizes);
        QFETCH(QStringList, packed);
        QFETCH(QString, skipped);
        const QStringList names{"20240305_2.log", "20240305_1.log", "20240305.log", "20240304.log"};
        for (int i = 0; i < names.size(); ++i) {
            sparseLog(names.at(i), sizes.at(i));
        }
        LogCapture capture;
        const QString url = LogUtil::logZipDataUrl();
        QCOMPARE(capture.messages(), QStringList{capWarning + " \"" + skipped + "\""});
        QVERIFY(url.startsWith(QStringLiteral("data:application/zip;base64,")));
        Entries entries;
        QVERIFY(readZip(LogUtil::logDir() + archiveName, &entries));
        QCOMPARE(entries.keys(), packed);
    }

    void oldArchivesGoFirst()
    {
        writeFile(LogUtil::logDir() + archiveName, "not an archive");
        writeFile(LogUtil::logDir() + "user-client-log-20240305090000000.ZIP", "old");
        const QByteArray sum = writeFile(LogUtil::logDir() + "20240305.log", logText(10));
        QCOMPARE(LogUtil::zipLogDir(), LogUtil::logDir() + archiveName);
        QCOMPARE(QDir(LogUtil::logDir()).entryList({QStringLiteral("*.zip")}, QDir::Files),
                 QStringList{archiveName});
        Entries entries;
        QVERIFY(readZip(LogUtil::logDir() + archiveName, &entries));
        QCOMPARE(entries, (Entries{{QStringLiteral("20240305.log"), sum}}));
    }

    void missingLogDirectory()
    {
        QVERIFY(QDir(LogUtil::logDir()).removeRecursively());
        LogCapture capture;
        QCOMPARE(LogUtil::logZipDataUrl(), QString());
        QCOMPARE(capture.messages(), QStringList{QStringLiteral("日志目录不存在，无法压缩: \"") +
                                                 LogUtil::logDir() + "\""});
    }

    void dataUrlIsTheArchive()
    {
        writeFile(LogUtil::logDir() + "20240304.log", logText(2000));
        const QString url = LogUtil::logZipDataUrl();
        const QString prefix = QStringLiteral("data:application/zip;base64,");
        QVERIFY(url.startsWith(prefix + "UEsDB"));
        QFile zip(LogUtil::logDir() + archiveName);
        QVERIFY(zip.open(QIODevice::ReadOnly));
        const QByteArray base64 = url.mid(prefix.size()).toLatin1();
        QCOMPARE(base64, zip.readAll().toBase64());
        QVERIFY(!base64.contains('\n'));
    }

    void packsWhileTheWriterAppends()
    {
        LogUtil::init(5);
        std::atomic<bool> done{false};
        QThreadPool pool;
        pool.setMaxThreadCount(2);
        // Stops the logging thread however the test leaves.
        const auto stop = qScopeGuard([&] {
            done = true;
            pool.waitForDone();
        });
        pool.start([&done] {
            for (int i = 0; !done; ++i) {
                qInfo() << "HomeDlg::slotWebMsg" << QString(200, QLatin1Char('x')) << i;
                if (i % 10 == 0) {
                    QThread::msleep(1);
                }
            }
        });
        const QString day = LogUtil::logDir() + QStringLiteral("20240305.log");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(day).size() > 64 * 1024, 20000);
        QString url;
        std::atomic<bool> packed{false};
        pool.start([&url, &packed] {
            url = LogUtil::logZipDataUrl();
            packed = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(packed, 60000);
        QThread::msleep(50);
        done = true;
        pool.waitForDone();
        LogUtil::release();

        QVERIFY(url.startsWith(QStringLiteral("data:application/zip;base64,UEsDB")));
        QProcess python;
        python.start(QStandardPaths::findExecutable(QStringLiteral("python3")),
                     {QStringLiteral("-c"),
                      QStringLiteral("import sys, zipfile; sys.stdout.buffer.write("
                                     "zipfile.ZipFile(sys.argv[1]).read('20240305.log'))"),
                      LogUtil::logDir() + archiveName});
        QVERIFY(python.waitForFinished(60000));
        const QByteArray copy = python.readAllStandardOutput();
        QFile dayFile(day);
        QVERIFY(dayFile.open(QIODevice::ReadOnly));
        const QByteArray now = dayFile.readAll();
        // The copy is a snapshot of the day file, which kept growing afterwards.
        QVERIFY(copy.contains("HomeDlg::slotWebMsg"));
        QVERIFY(now.size() > copy.size());
        QVERIFY(now.startsWith(copy));
    }
};

QTEST_GUILESS_MAIN(TestLogZip)
#include "tst_logzip.moc"
