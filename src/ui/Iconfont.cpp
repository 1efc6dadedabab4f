#include "Iconfont.h"

#include "UiResources.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>

namespace {
Iconfont *g_instance = nullptr;
}

Iconfont::Iconfont(QObject *parent) : QObject(parent)
{
    UiResources::ensureLoaded();
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/iconfont/iconfont.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        qWarning() << "Iconfont: the embedded icon font could not be loaded";
    } else {
        font = QFont(families.first());
    }
}

Iconfont::~Iconfont()
{
    if (g_instance == this) {
        g_instance = nullptr;
    }
}

const QList<uint> &Iconfont::glyphs()
{
    static const QList<uint> all{CheckMark,
                                 RadioChecked,
                                 RadioUnchecked,
                                 CheckBoxEmpty,
                                 CheckBoxChecked,
                                 CheckBoxIndeterminate,
                                 ArrowDown,
                                 ArrowUp,
                                 Close,
                                 Minimize,
                                 Maximize,
                                 Restore,
                                 CameraOff,
                                 MicrophoneOff,
                                 SpeakerOff,
                                 AllCamerasOff,
                                 AllMicrophonesOff,
                                 AllPensOff,
                                 CameraOn,
                                 MicrophoneOn,
                                 MicrophoneMute,
                                 PenOn,
                                 PenOff,
                                 MaximizeVideo,
                                 RestoreVideo,
                                 More};
    return all;
}

Iconfont *Iconfont::instance()
{
    if (!g_instance) {
        g_instance = new Iconfont(QCoreApplication::instance());
    }
    return g_instance;
}

void Iconfont::release()
{
    delete g_instance;
}

QPixmap Iconfont::pixmap(uint glyph, const QColor &color, int size) const
{
    QPixmap image(qMax(1, size), qMax(1, size));
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setPen(color);
    QFont f = font;
    f.setPixelSize(qMax(1, size));
    painter.setFont(f);
    painter.drawText(image.rect(), Qt::AlignCenter, QString::fromUcs4(&glyph, 1));
    return image;
}

QIcon Iconfont::icon(uint glyph, const QColor &color, int size) const
{
    return QIcon(pixmap(glyph, color, size * 2));
}

void Iconfont::savePng(const QString &path, uint glyph, const QColor &color, int size,
                       bool overwrite) const
{
    if (!overwrite && QFile::exists(path)) {
        return;
    }
    pixmap(glyph, color, size).save(path);
}
