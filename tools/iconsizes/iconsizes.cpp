// Scales the application icon to the icon theme's sizes:
//   brv_iconsizes SOURCE.png OUTDIR SIZE... -> OUTDIR/SIZE/brimvale.png
#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SOURCE.png OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString dir = QDir(QString::fromLocal8Bit(argv[2])).filePath(QString::number(size));
        const QImage scaled =
            source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (size <= 0 || !QDir().mkpath(dir) ||
            !scaled.save(dir + QStringLiteral("/brimvale.png"), "PNG")) {
            std::fprintf(stderr, "cannot write the %s px icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
