#include "recorders/gifencoder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gif_lib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace GifFrames {

QRect changedRect(const QImage &current, const QImage &previous)
{
    if (current.size() != previous.size() || current.format() != previous.format() || current.depth() != 32)
        return current.rect();
    const int width = current.width();
    const int height = current.height();
    const size_t rowBytes = size_t(width) * sizeof(quint32);
    const auto sameRow = [&](int y) {
        return std::memcmp(current.constScanLine(y), previous.constScanLine(y), rowBytes) == 0;
    };

    int top = 0;
    while (top < height && sameRow(top))
        ++top;
    if (top == height)
        return QRect();
    int bottom = height - 1;
    while (sameRow(bottom))
        --bottom;

    // Each row only has to be searched outside the columns already known to
    // differ.
    int left = width;
    int right = -1;
    for (int y = top; y <= bottom; ++y) {
        if (y != top && y != bottom && sameRow(y))
            continue;
        const auto *a = reinterpret_cast<const quint32 *>(current.constScanLine(y));
        const auto *b = reinterpret_cast<const quint32 *>(previous.constScanLine(y));
        int x = 0;
        while (x < left && a[x] == b[x])
            ++x;
        left = std::min(left, x);
        x = width - 1;
        while (x > right && a[x] == b[x])
            --x;
        right = std::max(right, x);
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

std::array<uchar, 256> indexRemap(const QVector<QRgb> &colorTable)
{
    const int count = std::min(colorTable.size(), 256);
    const auto firstOf = [&](QRgb colour, int fallback) {
        for (int j = 0; j < count; ++j)
            if (colorTable.at(j) == colour)
                return j;
        return fallback;
    };
    std::array<uchar, 256> remap{};
    for (int i = 0; i < count; ++i)
        remap[size_t(i)] = uchar(firstOf(colorTable.at(i), i));
    const uchar pastTable = uchar(firstOf(0, 255));
    for (int i = count; i < 256; ++i)
        remap[size_t(i)] = pastTable;
    return remap;
}

int frameDelay(int skippedTicks, int framesPerSecond)
{
    const qint64 delay = (qint64(std::max(skippedTicks, 0)) + 1) * 160 / std::max(framesPerSecond, 1);
    return int(std::min<qint64>(delay, 0xFFFF)); // the field has 16 bits
}

Qt::ImageConversionFlags conversionFlags(int ditherMode)
{
    Qt::ImageConversionFlags flags = Qt::NoOpaqueDetection | Qt::AvoidDither;
    switch (ditherMode) {
    case 1: return flags | Qt::OrderedDither;
    case 2: return flags | Qt::ThresholdDither;
    default: return flags | Qt::DiffuseDither;
    }
}

QImage indexedFrame(const QImage &image, int ditherMode)
{
    QImage indexed = image.convertToFormat(QImage::Format_Indexed8, conversionFlags(ditherMode));
    const std::array<uchar, 256> remap = indexRemap(indexed.colorTable());
    bool identity = true;
    for (size_t i = 0; i < remap.size(); ++i)
        identity = identity && remap[i] == i;
    if (identity) // Qt's tables hold each colour once, so this is the usual case
        return indexed;
    for (int y = 0; y < indexed.height(); ++y) {
        uchar *row = indexed.scanLine(y);
        for (int x = 0; x < indexed.width(); ++x)
            row[x] = remap[row[x]];
    }
    return indexed;
}

} // namespace GifFrames

namespace {

// A hidden name beside the path; O_EXCL so that it is ours alone.
int createPartFile(const QString &path, QString *partPath)
{
    const QFileInfo info(path);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate = info.dir().filePath(
            QStringLiteral(".%1.%2.part").arg(info.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int fd = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            *partPath = candidate;
            return fd;
        }
    }
    return -1;
}

} // namespace

GifEncoder::GifEncoder(int framesPerSecond, int ditherMode)
    : m_framesPerSecond(framesPerSecond)
    , m_ditherMode(ditherMode)
{
}

GifEncoder::~GifEncoder()
{
    if (m_gif || !m_partPath.isEmpty())
        abort();
}

bool GifEncoder::open(const QString &path)
{
    if (m_gif || !m_partPath.isEmpty() || m_closed)
        return false;
    m_path = path;
    m_error.clear();
    m_failed = false;
    errno = ENOENT;
    const auto cannotCreate = [&](const QString &reason) {
        m_partPath.clear();
        qDebug("Cannot create file");
        m_error = QStringLiteral("Cannot create the file %1: %2").arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    const int fd = path.isEmpty() ? -1 : createPartFile(path, &m_partPath);
    if (fd < 0)
        return cannotCreate(QString::fromLocal8Bit(std::strerror(errno)));
    int error = 0;
    m_gif = EGifOpenFileHandle(fd, &error);
    if (!m_gif) {
        ::close(fd);
        QFile::remove(m_partPath);
        return cannotCreate(QString::fromLatin1(GifErrorString(error)));
    }
    return true;
}

bool GifEncoder::fail(const QString &what)
{
    if (!m_failed)
        m_error = QStringLiteral("Cannot write the file %1: %2").arg(QDir::toNativeSeparators(m_path), what);
    m_failed = true;
    return false;
}

bool GifEncoder::begin(const QSize &screen)
{
    if (!m_gif || m_failed || !m_screen.isEmpty() || screen.isEmpty() || screen.width() > 0xFFFF
        || screen.height() > 0xFFFF)
        return false;
    m_screen = screen;
    EGifSetGifVersion(m_gif, true);
    // No global table: every frame brings its own.  Colour resolution 8 bits.
    if (EGifPutScreenDesc(m_gif, screen.width(), screen.height(), 8, 0, nullptr) != GIF_OK)
        return fail(QString::fromLatin1(GifErrorString(m_gif->Error)));
    static const char application[] = "NETSCAPE2.0";
    static const uchar loopForever[] = {0x01, 0x00, 0x00};
    if (EGifPutExtensionLeader(m_gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK
        || EGifPutExtensionBlock(m_gif, 11, application) != GIF_OK
        || EGifPutExtensionBlock(m_gif, sizeof loopForever, loopForever) != GIF_OK
        || EGifPutExtensionTrailer(m_gif) != GIF_OK)
        return fail(QString::fromLatin1(GifErrorString(m_gif->Error)));
    return true;
}

bool GifEncoder::addGrab(const QImage &grab, bool whole)
{
    if (!m_gif || m_failed || grab.size() != m_screen)
        return false;
    const QRect rect = whole || m_previous.isNull() ? grab.rect() : GifFrames::changedRect(grab, m_previous);
    if (rect.isNull()) {
        ++m_skippedTicks;
        return true;
    }
    m_previous = grab;
    // The changed part as a view of the grab's pixels: the conversion that
    // follows copies them anyway.
    const QImage part = rect == grab.rect()
                            ? grab
                            : QImage(grab.constScanLine(rect.top()) + rect.left() * (grab.depth() / 8), rect.width(),
                                     rect.height(), grab.bytesPerLine(), grab.format());
    const bool written = writeFrame(part, rect.topLeft(), m_skippedTicks);
    m_skippedTicks = 0;
    return written;
}

bool GifEncoder::writeFrame(const QImage &image, const QPoint &at, int skippedTicks)
{
    const QRect rect(at, image.size());
    if (!m_gif || m_failed || m_screen.isEmpty() || image.isNull() || !QRect(QPoint(), m_screen).contains(rect))
        return false;

    QImage frame = GifFrames::indexedFrame(image, m_ditherMode);
    GifColorType colours[256] = {};
    const QVector<QRgb> table = frame.colorTable();
    for (int i = 0; i < std::min(table.size(), 256); ++i)
        colours[i] = GifColorType{GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])), GifByteType(qBlue(table[i]))};
    ColorMapObject *map = GifMakeMapObject(256, colours);
    if (!map)
        return fail(QStringLiteral("out of memory"));

    const int delay = GifFrames::frameDelay(skippedTicks, m_framesPerSecond);
    // Disposal not specified, no transparency: the rest of the previous
    // picture stays on screen around a partial frame.
    const uchar control[] = {0x00, uchar(delay & 0xFF), uchar(delay >> 8), 0x00};
    bool ok = EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, sizeof control, control) == GIF_OK
              && EGifPutImageDesc(m_gif, rect.left(), rect.top(), rect.width(), rect.height(), false, map) == GIF_OK;
    GifFreeMapObject(map);
    for (int y = 0; ok && y < frame.height(); ++y)
        ok = EGifPutLine(m_gif, frame.scanLine(y), frame.width()) == GIF_OK;
    return ok || fail(QString::fromLatin1(GifErrorString(m_gif->Error)));
}

bool GifEncoder::close()
{
    if (!m_gif)
        return false;
    int error = 0;
    const bool closed = EGifCloseFile(m_gif, &error) == GIF_OK;
    m_gif = nullptr;
    if (!closed)
        fail(QString::fromLatin1(GifErrorString(error)));
    if (!m_failed && m_screen.isEmpty())
        fail(QStringLiteral("no picture was recorded"));
    if (!m_failed && ::rename(QFile::encodeName(m_partPath).constData(), QFile::encodeName(m_path).constData()) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (m_failed) {
        discard();
        return false;
    }
    m_partPath.clear();
    m_closed = true;
    return true;
}

void GifEncoder::abort()
{
    if (m_closed)
        return;
    if (m_gif)
        EGifCloseFile(m_gif, nullptr);
    m_gif = nullptr;
    discard();
}

void GifEncoder::discard()
{
    if (!m_partPath.isEmpty())
        QFile::remove(m_partPath);
    m_partPath.clear();
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}
