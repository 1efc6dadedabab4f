#include "LogUtil.h"

#include "Clock.h"
#include "PathUtil.h"
#include "ZipUtil.h"

#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {
QMutex g_instanceMutex;
LogUtil *g_instance = nullptr;
thread_local bool t_holdsFileMutex = false;

qint64 localDayStart(const QDate &date)
{
    return QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch();
}
} // namespace

LogUtil::LogUtil(QObject *parent) : QObject(parent)
{
    writerThread.setObjectName(QStringLiteral("LogWriter"));
    moveToThread(&writerThread);
    connect(&writerThread, &QThread::started, this, &LogUtil::processLogQueue);
    writerThread.start(QThread::InheritPriority);
}

LogUtil::~LogUtil()
{
    stop();
}

LogUtil *LogUtil::instance()
{
    QMutexLocker locker(&g_instanceMutex);
    if (!g_instance) {
        g_instance = new LogUtil();
    }
    return g_instance;
}

void LogUtil::init(int level)
{
    LogUtil *self = instance();
    self->logLevel.fetchAndStoreOrdered(level);
    if (qgetenv("BRV_DEBUG_LOG") == "1") {
        self->logLevel.storeRelease(LogDebug);
    }
    if (self->logLevel.loadAcquire() == LogOff) {
        qInfo() << "日志模块已关闭（LogLevel=LogOff）";
        return;
    }
    PathUtil::makePath(logDir());
    {
        QMutexLocker fileLocker(&self->fileMutex);
        self->openLogFile();
    }
    self->previousHandler = qInstallMessageHandler(logMessageHandler);
    self->handlerInstalled = true;
    qInfo() << "-------------------日志输出模块创建成功-------------------"
            << "logLevel=" << self->logLevel.loadRelaxed();
    qInfo() << "logFile=" << logDir() + logFileName(Clock::now().toString(QStringLiteral("yyyyMMdd")));
    self->clearExpiredLogs();
}

void LogUtil::release()
{
    QMutexLocker locker(&g_instanceMutex);
    LogUtil *self = g_instance;
    if (!self) {
        return;
    }
    // The handler goes first, so that no message recreates the module while it stops.
    if (self->handlerInstalled) {
        qInstallMessageHandler(self->previousHandler);
        self->handlerInstalled = false;
    }
    g_instance = nullptr;
    locker.unlock();
    delete self;
}

void LogUtil::stop()
{
    // Asked to quit first, so that the thread ends where the writer returns instead of going on
    // into an event loop of its own, which may already have no application object.
    writerThread.quit();
    {
        QMutexLocker locker(&queueMutex);
        stopFlag.store(true);
        queueCondition.wakeAll();
    }
    writerThread.wait();
    QMutexLocker fileLocker(&fileMutex);
    logFile.close();
}

QString LogUtil::logDir()
{
    return PathUtil::appDataDir() + QStringLiteral("log/");
}

QString LogUtil::logFileName(const QString &yyyyMMdd, int counter)
{
    if (counter <= 0) {
        return yyyyMMdd + QStringLiteral(".log");
    }
    return yyyyMMdd + QStringLiteral("_%1.log").arg(counter);
}

int LogUtil::threshold(QtMsgType type)
{
    switch (type) {
    case QtFatalMsg:
        return LogFatal;
    case QtCriticalMsg:
        return LogCritical;
    case QtWarningMsg:
        return LogWarning;
    case QtInfoMsg:
        return LogInfo;
    default:
        return LogDebug;
    }
}

QString LogUtil::levelWord(QtMsgType type)
{
    switch (type) {
    case QtFatalMsg:
        return QStringLiteral("Fatal");
    case QtCriticalMsg:
        return QStringLiteral("Critical");
    case QtWarningMsg:
        return QStringLiteral("Warning");
    case QtInfoMsg:
        return QStringLiteral("Info");
    case QtDebugMsg:
        return QStringLiteral("Debug");
    default:
        return QString();
    }
}

namespace {
QString baseName(const char *file)
{
    if (!file) {
        return QString();
    }
    const char *slash = std::strrchr(file, '/');
    return QString::fromUtf8(slash ? slash + 1 : file);
}
} // namespace

QString LogUtil::formatLine(qint64 msecsSinceEpoch, QtMsgType type,
                            const QMessageLogContext &context, const QString &message)
{
    return formatLine(msecsSinceEpoch, type, baseName(context.file), context.line, message);
}

QString LogUtil::formatLine(qint64 msecsSinceEpoch, QtMsgType type, const QString &file, int lineNumber,
                            const QString &message)
{
    // Turning a time into local date and time text is the costly part of a line; each thread
    // keeps the text of the last second it formatted.
    struct SecondCache {
        qint64 second = std::numeric_limits<qint64>::min();
        QString text;
    };
    thread_local SecondCache cache;
    const qint64 second = msecsSinceEpoch >= 0 ? msecsSinceEpoch / 1000
                                               : (msecsSinceEpoch - 999) / 1000;
    const int millis = static_cast<int>(msecsSinceEpoch - second * 1000);
    if (cache.second != second) {
        cache.second = second;
        cache.text = QDateTime::fromMSecsSinceEpoch(second * 1000)
                         .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }

    QString line;
    line.reserve(48 + file.size() + message.size());
    line += QLatin1Char('[');
    line += cache.text;
    line += QLatin1Char('.');
    line += QLatin1Char('0' + millis / 100);
    line += QLatin1Char('0' + millis / 10 % 10);
    line += QLatin1Char('0' + millis % 10);
    line += QLatin1String("] ");
    line += levelWord(type);
    line += QLatin1String(": [");
    line += file;
    line += QLatin1Char('(');
    line += QString::number(lineNumber);
    line += QLatin1String(")]: ");
    line += message;
    return line;
}

void LogUtil::writeLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (threshold(type) > logLevel.loadRelaxed()) {
        return;
    }
    PendingLine pending{Clock::currentMSecsSinceEpoch(), type, context.line, baseName(context.file),
                        message};

    if (type == QtFatalMsg) {
        // Qt aborts as soon as the handler returns: this line, and everything queued before
        // it, go to the disk now. Lock order is queue, then file, as in the writer.
        QMutexLocker queueLocker(&queueMutex);
        QMutex *heldByUs = t_holdsFileMutex ? nullptr : &fileMutex;
        if (heldByUs) {
            heldByUs->lock();
        }
        logQueue.append(std::move(pending));
        for (const PendingLine &queued : qAsConst(logQueue)) {
            writeLine(queued);
        }
        logQueue.clear();
        if (heldByUs) {
            heldByUs->unlock();
        }
        return;
    }

    queueMutex.lock();
    logQueue.append(std::move(pending));
    // Only a sleeping writer needs the wake-up; one that is writing comes back for the queue.
    const bool wake = writerWaiting;
    queueMutex.unlock();
    if (wake) {
        queueCondition.wakeOne();
    }
}

void LogUtil::openLogFile()
{
    const QDate today = Clock::now().date();
    currentDate = today.toString(QStringLiteral("yyyyMMdd"));
    dayStartMSecs = localDayStart(today);
    nextDayStartMSecs = localDayStart(today.addDays(1));

    const QString dir = logDir();
    QString path = dir + logFileName(currentDate);
    for (int counter = 1; QFileInfo(path).size() >= maxFileSize; ++counter) {
        path = dir + logFileName(currentDate, counter);
    }
    logFile.setFileName(path);
    if (!logFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::fprintf(stderr, "打开日志文件失败: %s\n", path.toLocal8Bit().constData());
        fileSize = 0;
        return;
    }
    fileSize = logFile.size();
}

void LogUtil::writeLine(const PendingLine &pending)
{
    const QString line =
        formatLine(pending.msecs, pending.type, pending.file, pending.line, pending.message);
    if (logFile.isOpen()) {
        const qint64 now = Clock::currentMSecsSinceEpoch();
        if (fileSize >= maxFileSize || now >= nextDayStartMSecs || now < dayStartMSecs) {
            logFile.close();
            openLogFile();
        }
    }
    if (!logFile.isOpen()) {
        return;
    }
    // The locale codec is what a text stream on the file would use (UTF-8 after start-up).
    QTextCodec *codec = QTextCodec::codecForLocale();
    QByteArray bytes = codec ? codec->fromUnicode(line) : line.toUtf8();
    bytes.append("\r\n", 2);
    const qint64 written = logFile.write(bytes);
    logFile.flush();
    if (written > 0) {
        fileSize += written;
    }
}

void LogUtil::processLogQueue()
{
    QVector<PendingLine> batch;
    for (;;) {
        queueMutex.lock();
        while (logQueue.isEmpty() && !stopFlag.load()) {
            writerWaiting = true;
            queueCondition.wait(&queueMutex);
            writerWaiting = false;
        }
        if (logQueue.isEmpty()) {
            // Stopping with nothing left to write.
            queueMutex.unlock();
            return;
        }
        // Everything queued so far is taken at once, so that callers and the writer meet on the
        // queue lock once per round rather than once per line; each line is still written and
        // flushed on its own. The file lock is taken before the queue is let go, so that a
        // fatal message cannot be written ahead of these lines.
        batch.swap(logQueue);
        fileMutex.lock();
        queueMutex.unlock();
        t_holdsFileMutex = true;
        for (const PendingLine &pending : qAsConst(batch)) {
            writeLine(pending);
        }
        t_holdsFileMutex = false;
        fileMutex.unlock();
        batch.clear();
    }
}

void LogUtil::clearExpiredLogs()
{
    const QString dirPath = logDir();
    QDir dir(dirPath);
    if (!dir.exists()) {
        qDebug() << "日志目录不存在:" << dirPath;
        return;
    }
    const QDate cutoff = Clock::now().date().addDays(-7);
    static const QRegularExpression datePattern(QStringLiteral("(\\d{8})"));
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        if (name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
            QFile file(path);
            file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
            if (file.remove()) {
                qDebug() << "日志压缩包删除成功:" << name;
            } else {
                qDebug() << "日志压缩包删除失败:" << name;
            }
            continue;
        }
        const QRegularExpressionMatch match = datePattern.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
        if (!date.isValid() || date >= cutoff) {
            continue;
        }
        QFile file(path);
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
        if (file.remove()) {
            qDebug() << "过期日志删除成功:" << name;
        } else {
            qDebug() << "过期日志删除失败:" << name;
        }
    }
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogUtil::instance()->writeLog(type, context, message);
}

QString LogUtil::zipLogDir()
{
    const QString dirPath = logDir();
    const QDir dir(dirPath);
    if (!dir.exists()) {
        qWarning() << "日志目录不存在，无法压缩:" << dirPath;
        return QString();
    }
    const QDir::Filters regularFiles = QDir::Files | QDir::NoSymLinks;
    const QStringList archives =
        dir.entryList({QStringLiteral("*.zip")}, regularFiles, QDir::NoSort);
    for (const QString &name : archives) {
        QFile::remove(dir.filePath(name));
    }

    // The writer keeps appending to the day's file: the archive is made from copies.
    QTemporaryDir tempDir;
    if (!tempDir.isValid()) {
        qWarning() << "日志临时目录创建失败，无法压缩:" << dirPath;
        return QString();
    }
    QStringList names = dir.entryList({QStringLiteral("*.log")}, regularFiles, QDir::NoSort);
    // Plain comparison puts the newest day first and, within a day, "_N" before the day's
    // first file, so the cap drops the oldest lines.
    std::sort(names.begin(), names.end(), std::greater<QString>());
    qint64 total = 0;
    for (const QString &name : qAsConst(names)) {
        const QString path = dir.filePath(name);
        total += QFileInfo(path).size();
        if (total > uploadCap) {
            qWarning() << "日志体积超过上报上限，仅上报较新日志，跳过:" << name;
            break;
        }
        if (!QFile::copy(path, tempDir.filePath(name))) {
            qWarning() << "日志文件复制失败，跳过:" << name;
        }
    }

    const QString zipPath =
        dirPath + QStringLiteral("user-client-log-%1.zip")
                      .arg(Clock::now().toString(QStringLiteral("yyyyMMddHHmmsszzz")));
    if (ZipUtil::zipDir(tempDir.path(), zipPath, QStringLiteral("log")) != 0) {
        qWarning() << "日志目录压缩失败:" << dirPath;
        return QString();
    }
    return zipPath;
}

QString LogUtil::logZipDataUrl()
{
    const QString zipPath = zipLogDir();
    if (zipPath.isEmpty()) {
        return QString();
    }
    QFile file(zipPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QByteArray zip = file.readAll();
    if (zip.size() != file.size()) {
        return QString();
    }
    const QByteArray base64 = zip.toBase64();
    const QLatin1String prefix("data:application/zip;base64,");
    QString url;
    url.reserve(prefix.size() + base64.size());
    url.append(prefix).append(QLatin1String(base64.constData(), base64.size()));
    return url;
}
