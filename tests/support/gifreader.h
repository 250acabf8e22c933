#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QVector>

// A GIF file read back with giflib's own reader, frame by frame.
struct GifFrame
{
    QRect rect;
    int delay = -1; // hundredths of a second; -1 without a control extension
    QByteArray indices; // one byte a pixel, row by row
};

// Empty when giflib cannot read the whole file.
QVector<GifFrame> readGifFrames(const QString &path);
