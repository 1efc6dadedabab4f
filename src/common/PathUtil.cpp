#include "PathUtil.h"

#include "BuildInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

bool PathUtil::isWritableAppDir(const QString &dir)
{
    const QString path = QDir::cleanPath(QFileInfo(dir).absoluteFilePath()) + QLatin1Char('/');
#if defined(Q_OS_UNIX)
    // Root may write there, but a package's files are the package manager's to change.
    if (path.startsWith(QLatin1String("/usr/")) && !path.startsWith(QLatin1String("/usr/local/"))) {
        return false;
    }
#endif
    // access(2) underneath: permissions, read-only mounts and the user's groups all count.
    return QFileInfo(path).isWritable();
}

bool PathUtil::isAppDirWritable()
{
    return isWritableAppDir(appDir());
}

QString PathUtil::userConfigDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QLatin1Char('/') + QString::fromLatin1(BuildInfo::appName) +
                        QLatin1Char('/');
    makePath(dir);
    return dir;
}

QString PathUtil::privateDir()
{
    return QDir::cleanPath(appDir() + QString::fromLatin1(BuildInfo::privateDirFromBin)) +
           QLatin1Char('/');
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
