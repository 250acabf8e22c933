// Draws every picture of the program's resource bundle, writes the resource
// list that rcc compiles into the program, and an overview sheet.
//
//   snaplark_artgen <output folder> <style sheet file>
//   snaplark_artgen --icons <output folder>
//
// The second form draws the desktop's icon set for installing: the program
// icon at each size the icon theme specification lists, and scalable.

#include "contactsheet.h"
#include "imagefiles.h"
#include "pictures.h"
#include "theme.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QTextStream>

#include <cstdio>

namespace {

bool writeQrc(const QString &path, const QStringList &plainFiles, const QString &styleSheet,
              const QString &compressedFile)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/resources\">\n";
    // Pictures are compressed formats already; only the icon's bitmaps shrink.
    out << "  <file alias=\"style.qss\" compression-algorithm=\"none\">"
        << QFileInfo(styleSheet).absoluteFilePath() << "</file>\n";
    for (const QString &name : plainFiles)
        out << "  <file compression-algorithm=\"none\">" << name << "</file>\n";
    out << "  <file compression-algorithm=\"zlib\" compress=\"9\" threshold=\"0\">" << compressedFile
        << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    return out.status() == QTextStream::Ok && file.flush();
}

int failed(const QString &message)
{
    std::fprintf(stderr, "snaplark_artgen: %s\n", qPrintable(message));
    return 1;
}

// hicolor/<size>x<size>/apps/snaplark.png and hicolor/scalable/apps/snaplark.svg
int writeIconTheme(const QDir &out)
{
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder) || !applicationIcon(size).save(out.filePath(folder + "/snaplark.png"), "PNG"))
            return failed(QStringLiteral("cannot write the %1 px icon").arg(size));
    }
    constexpr int side = 256;
    if (!out.mkpath(QStringLiteral("hicolor/scalable/apps")))
        return failed(QStringLiteral("cannot create the scalable icon folder"));
    QSvgGenerator svg;
    svg.setFileName(out.filePath(QStringLiteral("hicolor/scalable/apps/snaplark.svg")));
    svg.setSize(QSize(side, side));
    svg.setViewBox(QRect(0, 0, side, side));
    svg.setTitle(QStringLiteral("Snaplark"));
    QPainter p;
    if (!p.begin(&svg))
        return failed(QStringLiteral("cannot write the scalable icon"));
    p.setRenderHint(QPainter::Antialiasing);
    // the margin of the bitmap icons, so both sets line up
    const qreal margin = side / 16.0;
    Theme::paintMark(p, QRectF(margin, margin, side - 2 * margin, side - 2 * margin));
    return p.end() ? 0 : failed(QStringLiteral("cannot write the scalable icon"));
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--icons"))
        return QDir().mkpath(args.at(2)) ? writeIconTheme(QDir(args.at(2)))
                                         : failed(QStringLiteral("cannot create %1").arg(args.at(2)));
    if (args.size() != 3)
        return failed(QStringLiteral("usage: snaplark_artgen <output folder> <style sheet file>"));
    const QDir out(args.at(1));
    const QString styleSheet = args.at(2);
    if (!QDir().mkpath(out.path()))
        return failed(QStringLiteral("cannot create %1").arg(out.path()));
    if (!QFileInfo::exists(styleSheet))
        return failed(QStringLiteral("no style sheet at %1").arg(styleSheet));

    QVector<Picture> pictures = pngPictures();
    QStringList plainFiles;
    for (const Picture &picture : pictures) {
        if (!picture.image.save(out.filePath(picture.name), "PNG"))
            return failed(QStringLiteral("cannot write %1").arg(out.filePath(picture.name)));
        plainFiles << picture.name;
    }
    // The same pictures at twice the size for scaled screens, under the
    // names Qt looks for there.
    for (const Picture &picture : pngPictures(2)) {
        QString name = picture.name;
        name.insert(name.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
        if (!picture.image.save(out.filePath(name), "PNG"))
            return failed(QStringLiteral("cannot write %1").arg(out.filePath(name)));
        plainFiles << name;
    }

    QString error;
    const QString gifs = QStringLiteral("GIF pictures and icons");
    const QString stamp = QStringLiteral("gifStamp.gif");
    const QString closing = QStringLiteral("gifLastImage.gif");
    const QString appIcon = QStringLiteral("app.ico");
    const QString folder = QStringLiteral("capture_folder_icon.icns");
    if (!ImageFiles::writeGif(stampPicture(), out.filePath(stamp), &error)
        || !ImageFiles::writeGif(closingPicture(), out.filePath(closing), &error)
        || !ImageFiles::writeIco(applicationIcon(256), out.filePath(appIcon), &error)
        || !ImageFiles::writeIcns(folderIcon(), out.filePath(folder), &error))
        return failed(error);
    plainFiles << stamp << closing << folder;

    // The sheet shows these as read back, so it shows what the program gets.
    for (const QString &name : {stamp, closing, appIcon, folder}) {
        const QImage written(out.filePath(name));
        if (written.isNull())
            return failed(QStringLiteral("cannot read back %1").arg(name));
        pictures.append({name, gifs, written.convertToFormat(QImage::Format_ARGB32)});
    }

    if (!writeQrc(out.filePath(QStringLiteral("resources.qrc")), plainFiles, styleSheet, appIcon))
        return failed(QStringLiteral("cannot write the resource list"));
    if (!contactSheet(pictures).save(out.filePath(QStringLiteral("artwork.png")), "PNG"))
        return failed(QStringLiteral("cannot write the contact sheet"));
    return 0;
}
