#include "Clock.h"
#include "LogUtil.h"
#include "PathUtil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <atomic>

namespace {
const QByteArray started = "-------------------日志输出模块创建成功-------------------";
std::atomic<qint64> g_now{0};
qint64 testNow()
{
    const qint64 now = g_now.load();
    return now ? now : QDateTime::currentMSecsSinceEpoch();
}
void setNow(const QDate &date, const QTime &time)
{
    g_now = QDateTime(date, time).toMSecsSinceEpoch();
}

QString logDirPath()
{
    return LogUtil::logDir();
}

QByteArray readAllLogs()
{
    QByteArray all;
    QDir dir(logDirPath());
    for (const QString &name : dir.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly)) {
            all += f.readAll();
        }
    }
    return all;
}

QByteArray readLog(const QString &name)
{
    QFile f(logDirPath() + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void makeFile(const QString &name, qint64 size = 1)
{
    QFile f(logDirPath() + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(size));
}

// Lines are flushed by the writer thread; wait until a marker shows up.
bool waitForLog(const QByteArray &marker)
{
    for (int i = 0; i < 500; ++i) {
        if (readAllLogs().contains(marker)) {
            return true;
        }
        QThread::msleep(10);
    }
    return false;
}

int fatalChild(int lines)
{
    QCoreApplication::setApplicationName(QStringLiteral("brimvale"));
    LogUtil::init(5);
    for (int i = 0; i < lines; ++i) {
        qInfo() << "before-fatal" << i;
    }
    qFatal("the reason for the crash");
    return 0;
}
} // namespace

class TestLogUtil : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("brimvale")); }

    void init()
    {
        qunsetenv("BRV_DEBUG_LOG");
        g_now = 0;
        Clock::setSource(&testNow);
        QDir(logDirPath()).removeRecursively();
    }

    void cleanup()
    {
        LogUtil::release();
        Clock::setSource(nullptr);
    }

    void lineFormatIsExact()
    {
        const qint64 at = QDateTime(QDate(2024, 3, 5), QTime(14, 2, 11, 42)).toMSecsSinceEpoch();
        const QMessageLogContext none;
        QCOMPARE(LogUtil::formatLine(at, QtInfoMsg, none,
                                     QStringLiteral("-------------------日志输出模块创建成功-------------------"
                                                    " logLevel= 5")),
                 QStringLiteral("[2024-03-05 14:02:11.042] Info: [(0)]: "
                                "-------------------日志输出模块创建成功------------------- logLevel= 5"));
        const QMessageLogContext withFile("a/b/c.cpp", 12, "f()", "default");
        QCOMPARE(LogUtil::formatLine(at + 958, QtWarningMsg, withFile, QStringLiteral("x")),
                 QStringLiteral("[2024-03-05 14:02:12.000] Warning: [c.cpp(12)]: x"));
        QCOMPARE(LogUtil::formatLine(at, static_cast<QtMsgType>(42), none, QStringLiteral("odd")),
                 QStringLiteral("[2024-03-05 14:02:11.042] : [(0)]: odd"));
        QCOMPARE(LogUtil::levelWord(QtCriticalMsg), QStringLiteral("Critical"));
        QCOMPARE(LogUtil::levelWord(QtFatalMsg), QStringLiteral("Fatal"));
        QCOMPARE(LogUtil::levelWord(QtDebugMsg), QStringLiteral("Debug"));
    }

    void startWritesTheDayFileWithCrLf()
    {
        setNow(QDate(2024, 3, 5), QTime(14, 2, 11, 42));
        LogUtil::init(5);
        qDebug() << "hello" << QStringLiteral("world") << 3;
        QVERIFY(waitForLog("hello"));
        const QByteArray text = readLog(QStringLiteral("20240305.log"));
        const QList<QByteArray> lines = text.split('\n');
        QCOMPARE(lines.at(0), QByteArray("[2024-03-05 14:02:11.042] Info: [(0)]: "
                                         "-------------------日志输出模块创建成功------------------- "
                                         "logLevel= 5\r"));
        QCOMPARE(lines.at(1), "[2024-03-05 14:02:11.042] Info: [(0)]: logFile= \"" +
                                  (logDirPath() + QStringLiteral("20240305.log")).toUtf8() + "\"\r");
        QVERIFY(text.contains("Debug: [(0)]: hello \"world\" 3\r\n"));
        QVERIFY(text.endsWith("\r\n"));
        QCOMPARE(text.count("\r\n"), text.count('\n'));
    }

    void levelFilter_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("env");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("dropped");
        const QStringList all{"critical-line", "warning-line", "info-line", "debug-line"};
        QTest::newRow("warning") << 3 << QString() << QStringList{"critical-line", "warning-line"}
                                 << QStringList{"info-line", "debug-line"};
        QTest::newRow("info") << 4 << QString() << QStringList(all.mid(0, 3)) << QStringList{"debug-line"};
        QTest::newRow("critical") << 2 << QString() << QStringList{"critical-line"} << QStringList(all.mid(1));
        QTest::newRow("env 1 raises") << 2 << QStringLiteral("1") << all << QStringList();
        QTest::newRow("env true ignored") << 3 << QStringLiteral("true") << QStringList(all.mid(0, 2)) << QStringList(all.mid(2));
        QTest::newRow("env 01 ignored") << 3 << QStringLiteral("01") << QStringList(all.mid(0, 2)) << QStringList(all.mid(2));
        QTest::newRow("env empty ignored") << 3 << QStringLiteral("") << QStringList(all.mid(0, 2)) << QStringList(all.mid(2));
    }

    void levelFilter()
    {
        QFETCH(int, level);
        QFETCH(QString, env);
        QFETCH(QStringList, written);
        QFETCH(QStringList, dropped);
        if (!env.isNull()) {
            qputenv("BRV_DEBUG_LOG", env.toUtf8());
        }
        LogUtil::init(level);
        qCritical() << "critical-line";
        qWarning() << "warning-line";
        qInfo() << "info-line";
        qDebug() << "debug-line";
        qCritical() << "end-marker";
        QVERIFY(waitForLog("end-marker"));
        const QByteArray text = readAllLogs();
        for (const QString &line : written) {
            QVERIFY2(text.contains(line.toUtf8()), qPrintable(line));
        }
        for (const QString &line : dropped) {
            QVERIFY2(!text.contains(line.toUtf8()), qPrintable(line));
        }
    }

    void levelOffWritesNothing()
    {
        LogUtil::init(0);
        QCOMPARE(LogUtil::instance()->level(), 0);
        qCritical() << "nowhere";
        QThread::msleep(50);
        QVERIFY(!QDir(logDirPath()).exists());

        LogUtil::release();
        qputenv("BRV_DEBUG_LOG", "1");
        LogUtil::init(0);
        QCOMPARE(LogUtil::instance()->level(), 5);
        qDebug() << "debug-now";
        QVERIFY(waitForLog("debug-now"));
    }

    void fullFilesContinue()
    {
        setNow(QDate(2024, 3, 5), QTime(8, 0));
        PathUtil::makePath(logDirPath());
        makeFile(QStringLiteral("20240305.log"), LogUtil::maxFileSize);
        makeFile(QStringLiteral("20240305_1.log"), LogUtil::maxFileSize);
        makeFile(QStringLiteral("20240305_2.log"), LogUtil::maxFileSize - 1);
        LogUtil::init(5);
        qInfo() << "next-line";
        QVERIFY(waitForLog("next-line"));
        QCOMPARE(QFileInfo(logDirPath() + QStringLiteral("20240305.log")).size(), LogUtil::maxFileSize);
        QCOMPARE(QFileInfo(logDirPath() + QStringLiteral("20240305_1.log")).size(), LogUtil::maxFileSize);
        // One byte short of full still takes a line, the first one; then that file is full too.
        const QByteArray second = readLog(QStringLiteral("20240305_2.log"));
        QCOMPARE(second.size() - (LogUtil::maxFileSize - 1), second.indexOf('\n') - second.indexOf('[') + 1);
        QVERIFY(second.contains(started));
        const QByteArray third = readLog(QStringLiteral("20240305_3.log"));
        // The start line names the day's base file even though a continuation was opened.
        QVERIFY(third.startsWith("[2024-03-05 08:00:00.000] Info: [(0)]: logFile= \"" +
                                 (logDirPath() + "20240305.log").toUtf8() + "\"\r\n"));
        QVERIFY(third.contains("next-line"));
    }

    void dayChangesWithoutRestart()
    {
        setNow(QDate(2024, 3, 5), QTime(23, 59, 59, 900));
        LogUtil::init(5);
        qInfo() << "late-evening";
        QVERIFY(waitForLog("late-evening"));
        setNow(QDate(2024, 3, 6), QTime(0, 0, 0, 100));
        qInfo() << "after-midnight";
        QVERIFY(waitForLog("after-midnight"));
        QVERIFY(readLog(QStringLiteral("20240305.log")).contains("late-evening"));
        QVERIFY(!readLog(QStringLiteral("20240305.log")).contains("after-midnight"));
        QVERIFY(readLog(QStringLiteral("20240306.log"))
                    .contains("[2024-03-06 00:00:00.100] Info: [(0)]: after-midnight"));
    }

    void startClearsArchivesAndExpiredLogs()
    {
        setNow(QDate(2024, 3, 10), QTime(9, 0));
        PathUtil::makePath(logDirPath());
        const QStringList stay{"20240303.log", "20240303_2.log", "notes.txt", "20249999.log",
                               "20240310.log"};
        const QStringList gone{"20240302.log", "old-20240101.txt", "a.ZIP",
                               "user-client-log-20240309.zip", "b.Zip"};
        for (const QString &name : stay + gone) {
            makeFile(name);
        }
        QFile::setPermissions(logDirPath() + "20240302.log", QFileDevice::ReadOwner);
        LogUtil::init(5);
        qInfo() << "after-clean-up";
        QVERIFY(waitForLog("after-clean-up"));
        for (const QString &name : stay) {
            QVERIFY2(QFile::exists(logDirPath() + name), qPrintable(name));
        }
        for (const QString &name : gone) {
            QVERIFY2(!QFile::exists(logDirPath() + name), qPrintable(name));
        }
        const QByteArray text = readLog(QStringLiteral("20240310.log"));
        QVERIFY(text.contains("Debug: [(0)]: 过期日志删除成功: \"20240302.log\""));
        QVERIFY(text.contains("Debug: [(0)]: 日志压缩包删除成功: \"a.ZIP\""));
    }

    void fatalLineReachesTheFile()
    {
        const int lines = 20000;
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--fatal-child"), QString::number(lines)});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start();
        QVERIFY(child.waitForFinished(60000));
        QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);

        const QByteArray text = readAllLogs();
        const QList<QByteArray> all = text.split('\n');
        int expected = 0;
        for (const QByteArray &line : all) {
            if (line.contains("before-fatal")) {
                QVERIFY2(line.endsWith(" before-fatal " + QByteArray::number(expected) + "\r"),
                         line.constData());
                ++expected;
            }
        }
        QCOMPARE(expected, lines);
        QVERIFY(text.trimmed().endsWith("Fatal: [(0)]: the reason for the crash"));
    }

    void manyThreadsLoseNothingAcrossRollOver()
    {
        LogUtil::init(5);
        const int threads = 8;
        const int perThread = 100000;
        QList<QThread *> workers;
        for (int t = 0; t < threads; ++t) {
            workers.append(QThread::create([t]() {
                for (int i = 0; i < perThread; ++i) {
                    qInfo("t%d n%d padding-to-make-the-files-roll-over-sooner-0123456789", t, i);
                }
            }));
        }
        for (QThread *w : workers) {
            w->start();
        }
        for (QThread *w : workers) {
            w->wait();
            delete w;
        }
        LogUtil::release();

        QDir dir(logDirPath());
        QStringList files = dir.entryList({QStringLiteral("*.log")}, QDir::Files);
        QVERIFY2(files.size() >= 5, qPrintable(files.join(' ')));
        // Base file first, then continuations by counter.
        std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
            auto counter = [](const QString &n) {
                const int u = n.indexOf('_');
                return u < 0 ? 0 : n.mid(u + 1).chopped(4).toInt();
            };
            return counter(a) < counter(b);
        });
        QVector<int> next(threads, 0);
        static const QRegularExpression pattern(QStringLiteral(" t(\\d) n(\\d+) padding"));
        for (const QString &name : files) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(f.size() <= LogUtil::maxFileSize + 200, qPrintable(name));
            const QList<QByteArray> lines = f.readAll().split('\n');
            for (const QByteArray &line : lines) {
                const QRegularExpressionMatch m = pattern.match(QString::fromUtf8(line));
                if (!m.hasMatch()) {
                    continue;
                }
                const int t = m.captured(1).toInt();
                QCOMPARE(m.captured(2).toInt(), next[t]);
                ++next[t];
            }
        }
        for (int t = 0; t < threads; ++t) {
            QCOMPARE(next[t], perThread);
        }
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--fatal-child") == 0) {
        QCoreApplication app(argc, argv);
        return fatalChild(QByteArray(argv[2]).toInt());
    }
    QCoreApplication app(argc, argv);
    TestLogUtil test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logutil.moc"
