#pragma once

#include <QImage>
#include <QString>
#include <QVector>

// Every picture of the resource bundle, drawn at the size the window that
// uses it gives the widget it decorates.
struct Picture
{
    QString name;  // file name in the bundle
    QString group; // heading on the contact sheet
    QImage image;
};

// The PNG pictures, in the order the contact sheet shows them, drawn at
// `scale` times their size (the names stay those of scale 1).
QVector<Picture> pngPictures(int scale = 1);

// The 48 x 48 mark stamped into the corner of every animated GIF frame.
QImage stampPicture();
// The 499 x 121 closing frame of an animated GIF.
QImage closingPicture();
// The program icon, and the 128 x 128 captures folder icon.
QImage applicationIcon(int size);
QImage folderIcon();
