#include "imagefiles.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QImageWriter>
#include <QVector>
#include <QtEndian>

#include <gif_lib.h>

#include <algorithm>
#include <memory>

namespace ImageFiles {
namespace {

constexpr int transparentIndex = 255;
constexpr int maxColours = 255;

// Median cut: split the box with the widest channel range at its median
// until there are enough boxes; each box's mean is one palette colour.
QVector<QRgb> medianCutPalette(QVector<QRgb> pixels, int colours)
{
    struct Box
    {
        int begin, end;
    };
    auto channelRange = [&](const Box &box, int shift) {
        int lo = 255, hi = 0;
        for (int i = box.begin; i < box.end; ++i) {
            const int v = (pixels[i] >> shift) & 0xff;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        return hi - lo;
    };
    auto widest = [&](const Box &box, int *shift) {
        int best = -1;
        for (int s : {16, 8, 0}) {
            const int r = channelRange(box, s);
            if (r > best) {
                best = r;
                *shift = s;
            }
        }
        return best;
    };

    QVector<Box> boxes{{0, int(pixels.size())}};
    while (boxes.size() < colours) {
        int pick = -1, pickShift = 0, pickRange = 0;
        for (int i = 0; i < boxes.size(); ++i) {
            int shift = 0;
            const int range = boxes[i].end - boxes[i].begin > 1 ? widest(boxes[i], &shift) : 0;
            if (range > pickRange) {
                pick = i;
                pickShift = shift;
                pickRange = range;
            }
        }
        if (pick < 0)
            break;
        Box box = boxes[pick];
        const int mid = (box.begin + box.end) / 2;
        std::nth_element(pixels.begin() + box.begin, pixels.begin() + mid, pixels.begin() + box.end,
                         [pickShift](QRgb a, QRgb b) {
                             return ((a >> pickShift) & 0xff) < ((b >> pickShift) & 0xff);
                         });
        boxes[pick] = {box.begin, mid};
        boxes.append({mid, box.end});
    }

    QVector<QRgb> palette;
    for (const Box &box : boxes) {
        if (box.begin == box.end)
            continue;
        qint64 r = 0, g = 0, b = 0;
        for (int i = box.begin; i < box.end; ++i) {
            r += qRed(pixels[i]);
            g += qGreen(pixels[i]);
            b += qBlue(pixels[i]);
        }
        const qint64 n = box.end - box.begin;
        palette.append(qRgb(int(r / n), int(g / n), int(b / n)));
    }
    return palette;
}

int nearest(const QVector<QRgb> &palette, QRgb colour)
{
    int best = 0, bestDistance = INT_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        const int dr = qRed(palette[i]) - qRed(colour);
        const int dg = qGreen(palette[i]) - qGreen(colour);
        const int db = qBlue(palette[i]) - qBlue(colour);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

bool writeGif(const QImage &source, const QString &path, QString *error)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();

    QVector<QRgb> opaque;
    opaque.reserve(w * h);
    bool anyTransparent = false;
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) < 128)
                anyTransparent = true;
            else
                opaque.append(line[x] | 0xff000000u);
        }
    }
    QVector<QRgb> palette = medianCutPalette(opaque, maxColours);

    std::vector<GifByteType> indices(size_t(w) * size_t(h));
    QHash<QRgb, int> cache;
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            int index = transparentIndex;
            if (qAlpha(line[x]) >= 128) {
                const QRgb c = line[x] | 0xff000000u;
                auto it = cache.constFind(c);
                index = it != cache.constEnd() ? *it : *cache.insert(c, nearest(palette, c));
            }
            indices[size_t(y) * size_t(w) + size_t(x)] = GifByteType(index);
        }
    }

    GifColorType colours[256] = {};
    for (int i = 0; i < palette.size(); ++i)
        colours[i] = {GifByteType(qRed(palette[i])), GifByteType(qGreen(palette[i])),
                      GifByteType(qBlue(palette[i]))};

    int code = 0;
    GifFileType *gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &code);
    if (!gif)
        return fail(error, QStringLiteral("cannot create %1: %2").arg(path, GifErrorString(code)));
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject *)> map(GifMakeMapObject(256, colours),
                                                                     GifFreeMapObject);
    EGifSetGifVersion(gif, true);
    bool ok = map && EGifPutScreenDesc(gif, w, h, 8, 0, map.get()) == GIF_OK;
    if (ok && anyTransparent) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.DelayTime = 0;
        control.TransparentColor = transparentIndex;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, indices.data() + size_t(y) * size_t(w), w) == GIF_OK;
    const int writeError = gif->Error;
    if (EGifCloseFile(gif, &code) != GIF_OK || !ok)
        return fail(error, QStringLiteral("cannot write %1: %2")
                               .arg(path, GifErrorString(ok ? code : writeError)));
    return true;
}

bool writeIco(const QImage &image, const QString &path, QString *error)
{
    QImageWriter writer(path, "ico");
    if (!writer.write(image))
        return fail(error, QStringLiteral("cannot write %1: %2").arg(path, writer.errorString()));
    return true;
}

bool writeIcns(const QImage &image128, const QString &path, QString *error)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image128.size() != QSize(128, 128) || !image128.save(&buffer, "PNG"))
        return fail(error, QStringLiteral("cannot encode the 128 x 128 icon"));

    auto bigEndian = [](quint32 value) {
        QByteArray bytes(4, '\0');
        qToBigEndian(value, bytes.data());
        return bytes;
    };
    const QByteArray entry = QByteArray("ic07") + bigEndian(quint32(8 + png.size())) + png;
    const QByteArray file = QByteArray("icns") + bigEndian(quint32(8 + entry.size())) + entry;

    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return fail(error, QStringLiteral("cannot write %1: %2").arg(path, out.errorString()));
    return true;
}

} // namespace ImageFiles
