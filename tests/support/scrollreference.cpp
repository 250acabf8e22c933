#include "scrollreference.h"

#include <QPainter>

namespace ScrollReference {
namespace {

enum class Kind { Exact, Near, Different };

Kind classify(const QImage &g, int gRow, const QImage &s, int sRow, int direction, const ScrollSearch::Thresholds &t)
{
    const int gy = direction >= 0 ? gRow : g.height() - 1 - gRow;
    const int sy = direction >= 0 ? sRow : s.height() - 1 - sRow;
    int equal = 0;
    for (int x = 0; x < g.width(); ++x)
        equal += g.pixel(x, gy) == s.pixel(x, sy);
    const double similarity = double(equal) / g.width();
    if (similarity >= t.exactThreshold)
        return Kind::Exact;
    if (similarity >= t.nearThreshold)
        return Kind::Near;
    return Kind::Different;
}

} // namespace

ScrollSearch::Match search(const QImage &stitched, const QImage &grab, int direction, const ScrollSearch::Thresholds &t)
{
    const int h = grab.height();
    for (int base = 0; base <= 250; base += 50) {
        if (base >= stitched.height())
            break;
        for (int g0 = base; g0 < h; ++g0) {
            if (classify(grab, g0, stitched, base, direction, t) != Kind::Exact)
                continue;
            int k = 1, skip = 0, run = 0;
            bool success = false;
            for (;;) {
                if (g0 + skip + k >= h)
                    break;
                const Kind kind = classify(grab, g0 + skip + k, stitched, base + skip + k, direction, t);
                if (kind == Kind::Different)
                    break;
                if (kind == Kind::Exact) {
                    ++k;
                    ++run;
                } else {
                    ++skip;
                    if (run < t.exactRunNeeded)
                        run = 0;
                }
                if (k == t.rowsToVerify) {
                    success = run >= t.exactRunNeeded;
                    break;
                }
            }
            if (success)
                return {g0 == base ? ScrollSearch::Outcome::Same : ScrollSearch::Outcome::Found, base, g0};
        }
    }
    return {};
}

QImage stitch(const QImage &stitched, const QImage &grab, int direction, const ScrollSearch::Match &match)
{
    const int d = match.shift();
    QImage result(stitched.width(), stitched.height() + d, QImage::Format_ARGB32);
    QPainter painter(&result);
    if (direction >= 0) {
        painter.drawImage(0, d, stitched);
        painter.drawImage(QPoint(0, 0), grab, QRect(0, 0, grab.width(), match.g0));
    } else {
        painter.drawImage(0, 0, stitched);
        painter.drawImage(QPoint(0, stitched.height() - match.base), grab,
                          QRect(0, grab.height() - match.g0, grab.width(), match.g0));
    }
    painter.end();
    return result.convertToFormat(QImage::Format_RGB32);
}

} // namespace ScrollReference
