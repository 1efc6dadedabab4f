#pragma once

#include <QString>

QT_BEGIN_NAMESPACE
class QZipWriter;
QT_END_NAMESPACE

// Writes ZIP archives of a file or a directory tree with Qt's ZIP writer and its default
// compression.
class ZipUtil
{
public:
    // Writes sourcePath (a file or a directory tree) into a new archive at zipPath. When zipPath
    // is an existing directory the archive goes inside it, named after the source plus ".zip". A
    // non-empty suffix limits a directory source to files with that suffix, in any letter case.
    // Returns 0, or -1 when the archive cannot be written, -2 when the source file does not
    // exist, -3 when it cannot be opened.
    static int zipDir(const QString &sourcePath, QString zipPath,
                      const QString &suffix = QString());
    // Adds the contents of dirPath recursively, with entry names relative to rootPath.
    static void addDir(QZipWriter &writer, const QString &rootPath, const QString &dirPath,
                       const QString &suffix);
};
