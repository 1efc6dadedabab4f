#pragma once

#include <QColor>
#include <QImage>
#include <QMap>

// The colour most of the fully opaque pixels of an image have; invalid when none is opaque.
inline QColor inkOf(const QImage &image)
{
    QMap<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255) {
                counts[c.rgb()]++;
            }
        }
    }
    QRgb best = 0;
    int most = 0;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    }
    return most ? QColor(best) : QColor();
}
