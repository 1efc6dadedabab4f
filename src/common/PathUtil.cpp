#include "PathUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

QString PathUtil::appDataDir()
{
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/');
    makePath(dir);
    return dir;
}

QString PathUtil::appDir()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

QString PathUtil::downloadDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) + QLatin1Char('/');
}

QString PathUtil::makePath(const QString &path)
{
    if (path.isEmpty() || QDir(path).exists()) {
        return path;
    }
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return path;
    }
    // The parent first, so that each level is made inside an existing one.
    const QString parent = path.left(slash);
    if (!parent.isEmpty()) {
        makePath(parent);
    }
    const QString last = path.mid(slash + 1);
    if (!last.isEmpty()) {
        QDir(parent.isEmpty() ? QStringLiteral("/") : parent).mkdir(last);
    }
    return path;
}
