#include "ZipUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGui/private/qzipwriter_p.h>

namespace {
// QZipWriter does not report failed writes, and QFile::close() forgets an earlier write
// error once its own flush succeeds; a full disk would otherwise pass for a good archive.
class ArchiveFile : public QFile
{
public:
    using QFile::QFile;
    bool writeFailed() const { return failed; }

protected:
    qint64 writeData(const char *data, qint64 len) override
    {
        const qint64 written = QFile::writeData(data, len);
        if (written != len) {
            failed = true;
        }
        return written;
    }

private:
    bool failed = false;
};

bool samePath(const QString &a, const QString &b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}
} // namespace

int ZipUtil::zipDir(const QString &sourcePath, QString zipPath, const QString &suffix)
{
    const QFileInfo source(sourcePath);
    const bool isDir = source.isDir();
    if (QFileInfo(zipPath).isDir()) {
        const QString name = isDir ? QDir(source.absoluteFilePath()).dirName() : source.baseName();
        zipPath = QDir(zipPath).filePath(name + QStringLiteral(".zip"));
    }

    // The source is checked before the archive is created, so that a bad source leaves an
    // existing file at zipPath alone.
    QFile sourceFile(sourcePath);
    if (!isDir) {
        if (!source.exists()) {
            return -2;
        }
        if (!sourceFile.open(QIODevice::ReadOnly)) {
            return -3;
        }
        if (samePath(zipPath, sourcePath)) {
            return -1;
        }
    }

    ArchiveFile archive(zipPath);
    if (!archive.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        return -1;
    }
    {
        QZipWriter writer(&archive);
        if (writer.status() != QZipWriter::NoError) {
            return -1;
        }
        if (isDir) {
            // Entry names are taken relative to the absolute source, whatever form it came in.
            const QString root = source.absoluteFilePath();
            addDir(writer, root, root, suffix);
        } else {
            writer.addFile(source.fileName(), sourceFile.readAll());
        }
        writer.close();
    }
    if (archive.writeFailed() || archive.error() != QFileDevice::NoError) {
        // A torn archive is worse than none; a device named as zipPath is left in place.
        if (QFileInfo(zipPath).isFile()) {
            archive.remove();
        }
        return -1;
    }
    return 0;
}

void ZipUtil::addDir(QZipWriter &writer, const QString &rootPath, const QString &dirPath,
                     const QString &suffix)
{
    const QDir root(rootPath);
    const auto *archive = qobject_cast<const QFileDevice *>(writer.device());
    const QString archiveName = archive ? QFileInfo(archive->fileName()).fileName() : QString();
    const QFileInfoList entries =
        QDir(dirPath).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        // Relative paths would come back unchanged, source directory and all.
        const QString relative = root.relativeFilePath(entry.absoluteFilePath());
        if (entry.isDir()) {
            // A linked directory can lead back into the tree and never end.
            if (entry.isSymLink()) {
                continue;
            }
            writer.addDirectory(relative);
            addDir(writer, rootPath, entry.filePath(), suffix);
            continue;
        }
        if (!suffix.isEmpty() && entry.suffix().compare(suffix, Qt::CaseInsensitive) != 0) {
            continue;
        }
        // An archive written into its own source would hold a torn copy of itself.
        if (entry.fileName() == archiveName && samePath(entry.filePath(), archive->fileName())) {
            continue;
        }
        QFile file(entry.filePath());
        if (file.open(QIODevice::ReadOnly)) {
            writer.addFile(relative, file.readAll());
        }
    }
}
