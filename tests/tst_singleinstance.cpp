#include "ClientProcess.h"

#include <QElapsedTimer>
#include <QtTest>

#include <signal.h>

namespace {
const QByteArray started = "-------------------日志输出模块创建成功-------------------";
const QByteArray raised = "QtSingleApplication::messageReceived \"raiseWindow\"";

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    // A stopped process would not hear the request to end.
    ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
    stopProcess(process);
}

// Runs a second launch to its end and returns its exit code, or -1 when it did not end.
int runToEnd(const ClientInstall &install, qint64 *elapsedMs = nullptr)
{
    QProcess second;
    QElapsedTimer timer;
    timer.start();
    install.start(second);
    if (!second.waitForFinished(30000)) {
        stop(second);
        return -1;
    }
    if (elapsedMs) {
        *elapsedMs = timer.elapsed();
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -2;
}
} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondLaunchRaisesTheFirst()
    {
        ClientInstall install(QStringLiteral("a"));
        QVERIFY(install.isValid());
        QProcess first;
        install.start(first);
        QVERIFY(install.waitForLog(started));

        QCOMPARE(runToEnd(install), 0);
        QVERIFY(install.waitForLog(raised));
        // The second process set up no logging of its own.
        QCOMPARE(install.logText().count(started), 1);
        QCOMPARE(first.state(), QProcess::Running);

        QCOMPARE(runToEnd(install), 0);
        QVERIFY(install.waitForLog(raised, 2));
        // Start-up drew the stored theme's indicator images before anything else.
        QCOMPARE(QDir(install.dataDir() + QStringLiteral("skin/light"))
                     .entryList({QStringLiteral("*.png")}, QDir::Files)
                     .size(),
                 16);
        stop(first);
    }

    void copiesUnderDifferentPathsRunSideBySide()
    {
        ClientInstall a(QStringLiteral("a"));
        ClientInstall b(QStringLiteral("b"));
        QVERIFY(a.isValid() && b.isValid());
        QProcess first;
        QProcess other;
        a.start(first);
        QVERIFY(a.waitForLog(started));
        b.start(other);
        QVERIFY(b.waitForLog(started));
        QVERIFY(!other.waitForFinished(1000));
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(!a.logText().contains(raised));
        stop(other);
        stop(first);
    }

    void unresponsiveFirstInstanceStillLetsTheSecondExit()
    {
        ClientInstall install(QStringLiteral("a"));
        QVERIFY(install.isValid());
        QProcess first;
        install.start(first);
        QVERIFY(install.waitForLog(started));
        ::kill(static_cast<pid_t>(first.processId()), SIGSTOP);

        qint64 elapsed = 0;
        QCOMPARE(runToEnd(install, &elapsed), 0);
        // It waited for the answer up to the 5000 ms hand-over time-out, and not much longer.
        QVERIFY2(elapsed >= 4900 && elapsed < 15000, qPrintable(QString::number(elapsed)));
        ::kill(static_cast<pid_t>(first.processId()), SIGCONT);
        stop(first);
    }

    void crashedInstanceDoesNotBlockTheNext()
    {
        ClientInstall install(QStringLiteral("a"));
        QVERIFY(install.isValid());
        QProcess first;
        install.start(first);
        QVERIFY(install.waitForLog(started));
        first.kill();
        QVERIFY(first.waitForFinished(10000));

        QProcess next;
        install.start(next);
        QVERIFY(install.waitForLog(started, 2));
        QVERIFY(!next.waitForFinished(1000));
        QCOMPARE(runToEnd(install), 0);
        QVERIFY(install.waitForLog(raised));
        stop(next);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
