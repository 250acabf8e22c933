#include "scrollpagecontent.h"

namespace ScrollPage {

QRgb pixel(int x, int row, int width)
{
    if (row >= kBlankFirst && row < kBlankEnd)
        return qRgb(255, 255, 255);
    const int high = (row >> 8) & 0xf;
    if (row >= kCaretFirst && row < kCaretEnd) {
        const int caret = width / 2;
        return x >= caret && x < caret + width / 10 ? qRgb(row & 0xff, high << 4, 0) : qRgb(230, 230, 230);
    }
    // red and green's high half name the row in every pixel
    return qRgb(row & 0xff, (high << 4) | ((x / 32) & 0xf), (x * 5 + row * 3) & 0xff);
}

QImage rows(int width, int first, int count)
{
    QImage image(width, count, QImage::Format_RGB32);
    for (int y = 0; y < count; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = pixel(x, first + y, width);
    }
    return image;
}

} // namespace ScrollPage
