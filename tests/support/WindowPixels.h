#pragma once

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QVector>
#include <QWidget>

// What the X server shows in a widget's native window, including what others drew into it.
inline QImage grabNative(const QWidget *widget)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(widget->winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Mean red, green and blue over the picture.
inline QVector<double> meanRgb(const QImage &image)
{
    double r = 0, g = 0, b = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            r += qRed(p);
            g += qGreen(p);
            b += qBlue(p);
        }
    }
    const double n = qMax(1.0, double(image.width()) * image.height());
    return {r / n, g / n, b / n};
}

// Pixels brighter than the near-black of an empty video window.
inline int nonBlackPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) > 30) {
                ++n;
            }
        }
    }
    return n;
}

// The virtual camera's colour bars seen across one row of the picture: white, yellow, cyan,
// green, magenta, red and blue, each channel clearly on or off. They move sideways, so the row is
// searched rather than sampled at fixed places.
inline int smpteBarsSeen(const QImage &image)
{
    QSet<int> seen;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, image.height() / 4);
        const int channels[] = {qRed(p), qGreen(p), qBlue(p)};
        int bar = 0;
        for (int c : channels) {
            if (c > 70 && c < 150)
                bar = -1000; // in between: an edge or something else
            bar = bar * 2 + (c >= 150 ? 1 : 0);
        }
        if (bar > 0)
            seen.insert(bar);
    }
    return seen.size();
}
