#pragma once

#include <QAtomicInt>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QVector>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

// The process-wide log. It is the Qt message handler: every message is filtered by level,
// stamped with the time on the calling thread and queued; one writer thread formats the lines and
// appends them to the day's file in the data directory's "log/", flushing each line.
class LogUtil : public QObject
{
    Q_OBJECT

public:
    enum LogLevel {
        LogOff = 0,
        LogFatal = 1,
        LogCritical = 2,
        LogWarning = 3,
        LogInfo = 4,
        LogDebug = 5,
    };

    // A file at or above this size is full and the day continues in "yyyyMMdd_N.log".
    static constexpr qint64 maxFileSize = 10485760;

    static LogUtil *instance();
    // Starts logging at the given level (raised to LogDebug when BRV_DEBUG_LOG is "1").
    static void init(int logLevel);
    // Writes what is still queued, stops the writer and uninstalls the handler. Logging can be
    // started again with init().
    static void release();

    // "<data dir>/log/"
    static QString logDir();
    // The most log bytes that one packing takes, newest files first.
    static constexpr qint64 uploadCap = 52428800;
    // Packs the newest log files into "user-client-log-<time>.zip" in the log directory and
    // returns the archive's path, or an empty string on failure.
    static QString zipLogDir();
    // zipLogDir()'s archive as "data:application/zip;base64,..."; empty on failure. Runs on a
    // thread-pool thread while the writer appends, so it touches no GUI object.
    static QString logZipDataUrl();
    // The file name of a day, "yyyyMMdd.log", or its continuation "yyyyMMdd_N.log" for N > 0.
    static QString logFileName(const QString &yyyyMMdd, int counter = 0);
    // The threshold and level word of a message type.
    static int threshold(QtMsgType type);
    static QString levelWord(QtMsgType type);
    // The line as written to the file, without the line end.
    static QString formatLine(qint64 msecsSinceEpoch, QtMsgType type,
                              const QMessageLogContext &context, const QString &message);
    static QString formatLine(qint64 msecsSinceEpoch, QtMsgType type, const QString &fileName,
                              int line, const QString &message);

    int level() const { return logLevel.loadRelaxed(); }

    void writeLog(QtMsgType type, const QMessageLogContext &context, const QString &message);
    void openLogFile();
    void clearExpiredLogs();

private slots:
    void processLogQueue();

private:
    // A message as it was logged; the writer turns it into its line, so that the calling thread
    // only pays for taking the time and queuing.
    struct PendingLine {
        qint64 msecs;
        QtMsgType type;
        int line;
        QString file;
        QString message;
    };

    explicit LogUtil(QObject *parent = nullptr);
    ~LogUtil() override;

    // Writes one line with "\r\n", after rolling over to a new file when the day changed or the
    // file is full. Called with fileMutex held.
    void writeLine(const PendingLine &pending);
    void stop();

    QFile logFile;
    QString currentDate;
    QAtomicInt logLevel{LogInfo};
    QThread writerThread;
    QMutex queueMutex;
    QWaitCondition queueCondition;
    QVector<PendingLine> logQueue;
    std::atomic<bool> stopFlag{false};
    // Guarded by queueMutex: the writer sleeps on the queue condition.
    bool writerWaiting = false;

    // Held by whoever writes to logFile: the writer thread, or a fatal message that must reach
    // the disk before Qt aborts the process.
    QMutex fileMutex;
    qint64 fileSize = 0;
    qint64 dayStartMSecs = 0;
    qint64 nextDayStartMSecs = 0;
    bool handlerInstalled = false;
    QtMessageHandler previousHandler = nullptr;
};

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
