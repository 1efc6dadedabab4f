#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

// Collects the messages the code under test logs, in order, while it is alive.
class LogCapture
{
public:
    LogCapture()
    {
        current() = this;
        previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous);
        current() = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList messages() const
    {
        QMutexLocker locker(&mutex);
        return lines;
    }
    bool contains(const QString &fragment) const
    {
        const QStringList all = messages();
        for (const QString &line : all) {
            if (line.contains(fragment)) {
                return true;
            }
        }
        return false;
    }
    void clear()
    {
        QMutexLocker locker(&mutex);
        lines.clear();
    }

private:
    static LogCapture *&current()
    {
        static LogCapture *capture = nullptr;
        return capture;
    }
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        if (LogCapture *capture = current()) {
            QMutexLocker locker(&capture->mutex);
            capture->lines.append(message);
        }
    }

    mutable QMutex mutex;
    QStringList lines;
    QtMessageHandler previous = nullptr;
};
