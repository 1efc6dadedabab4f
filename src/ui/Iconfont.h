#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QObject>
#include <QPixmap>

// Small icons drawn from the embedded icon font in the theme's colours. GUI thread only.
class Iconfont : public QObject
{
    Q_OBJECT

public:
    // Code points of the glyphs the program draws.
    enum Glyph : uint {
        CheckMark = 0xE622,
        RadioChecked = 0xE6D3,
        RadioUnchecked = 0xE6BD,
        CheckBoxEmpty = 0xE6C4,
        CheckBoxChecked = 0xE6BF,
        CheckBoxIndeterminate = 0xE60D,
        ArrowDown = 0xE72A,
        ArrowUp = 0xEFA4,
        Close = 0xE630,
        Minimize = 0xE6B9,
        Maximize = 0xE6B6,
        Restore = 0xE6B7,
        CameraOff = 0xE643,
        MicrophoneOff = 0xE63B,
        SpeakerOff = 0xE62C,
        AllCamerasOff = 0xE652,
        AllMicrophonesOff = 0xE64B,
        AllPensOff = 0xE63C,
        CameraOn = 0xE64C,
        MicrophoneOn = 0xE642,
        MicrophoneMute = 0xEFC5,
        PenOn = 0xE623,
        PenOff = 0xE627,
        MaximizeVideo = 0xEFBF,
        RestoreVideo = 0xEFC0,
        More = 0xE65C,
    };
    static const QList<uint> &glyphs();

    static Iconfont *instance();
    // Deletes the instance; the next instance() makes a new one.
    static void release();

    QFont iconFont() const { return font; }
    // A size x size pixmap, transparent, with the glyph centred and antialiased.
    QPixmap pixmap(uint glyph, const QColor &color, int size) const;
    // Rendered at twice the size, for sharpness on high-density screens.
    QIcon icon(uint glyph, const QColor &color, int size) const;
    // Writes the glyph's image when overwrite is set or no file exists at path yet.
    void savePng(const QString &path, uint glyph, const QColor &color, int size,
                 bool overwrite) const;

private:
    explicit Iconfont(QObject *parent);
    ~Iconfont() override;

    QFont font;
};
