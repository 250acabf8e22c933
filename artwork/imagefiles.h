#pragma once

#include <QImage>
#include <QString>

// Writers for the file formats Qt cannot write the way the bundle needs.
namespace ImageFiles {

// A single-frame GIF89a; pixels less than half opaque become the transparent
// colour, the rest are reduced to at most 255 colours.
bool writeGif(const QImage &image, const QString &path, QString *error);

// A Windows icon through Qt's ico writer.
bool writeIco(const QImage &image, const QString &path, QString *error);

// A macOS icon file holding one 128 x 128 PNG ("ic07") entry.
bool writeIcns(const QImage &image128, const QString &path, QString *error);

} // namespace ImageFiles
