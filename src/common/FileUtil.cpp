#include "FileUtil.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

bool FileUtil::copyFile(const QString &source, const QString &target)
{
    const QFileInfo sourceInfo(source);
    // An unreadable source is refused here, before the target is removed and then lost.
    if (!sourceInfo.exists() || !sourceInfo.isFile() || !sourceInfo.isReadable()) {
        qDebug().noquote() << QStringLiteral("源文件不存在或不是有效的文件: ") + source;
        return false;
    }

    const QFileInfo targetInfo(target);
    if (targetInfo.exists()) {
        // Removing the target would delete the source itself when both name the same file.
        if (targetInfo.canonicalFilePath() == sourceInfo.canonicalFilePath()) {
            qDebug().noquote() << QStringLiteral("文件复制失败: ") + source +
                                      QStringLiteral(" -> ") + target;
            return false;
        }
        if (!QFile::remove(target)) {
            qDebug().noquote() << QStringLiteral("无法删除已存在的目标文件: ") + target;
            return false;
        }
    }

    if (QFile::copy(source, target)) {
        qDebug().noquote() << QStringLiteral("文件复制成功: ") + source + QStringLiteral(" -> ") +
                                  target;
        return true;
    }
    qDebug().noquote() << QStringLiteral("文件复制失败: ") + source + QStringLiteral(" -> ") +
                              target;
    return false;
}

bool FileUtil::removeFile(const QString &path)
{
    return QFile::remove(path);
}

bool FileUtil::fileExists(const QString &path)
{
    return QFileInfo::exists(path);
}
