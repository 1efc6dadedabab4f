#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QMultiMap>

#include <unistd.h>

// What /proc tells the benchmarks of a process: its CPU time and the processes under it.
namespace ProcStat {

// The fields of /proc/PID/stat after the command's closing parenthesis (the state first);
// empty when the process is gone.
inline QList<QByteArray> fields(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ');
}

// Clock ticks used so far, user and system; -1 when the process is gone.
inline qint64 cpuTicks(qint64 pid)
{
    const QList<QByteArray> f = fields(pid);
    return f.isEmpty() ? -1 : f.value(11).toLongLong() + f.value(12).toLongLong();
}

// CPU seconds used so far, user and system; 0 when the process is gone.
inline double cpuSeconds(qint64 pid)
{
    return double(qMax<qint64>(0, cpuTicks(pid))) / double(::sysconf(_SC_CLK_TCK));
}

// A process and every process under it (the web engine's), by parent id.
inline QList<qint64> tree(qint64 root)
{
    QMultiMap<qint64, qint64> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        const QList<QByteArray> f = ok ? fields(pid) : QList<QByteArray>();
        if (!f.isEmpty()) {
            children.insert(f.value(1).toLongLong(), pid);
        }
    }
    QList<qint64> all{root};
    for (int i = 0; i < all.size(); ++i) {
        all << children.values(all.at(i));
    }
    return all;
}

} // namespace ProcStat
