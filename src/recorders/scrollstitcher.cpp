#include "recorders/scrollstitcher.h"

#include <QHash>
#include <QMultiHash>

#include <algorithm>
#include <cstring>

namespace ScrollSearch {
namespace {

constexpr int kPasses = 6;
constexpr int kPassStep = 50;

enum class Kind { Exact, Near, Different };

// A row's hash, 16 bytes a round in two lanes: a few hundred cycles for a
// 1000-pixel row, where a general-purpose hash takes several times that.  Its
// quality only spreads rows over buckets; a full comparison decides.
quint64 rowHash(const quint32 *row, int width)
{
    const auto rotate = [](quint64 v, int r) { return (v << r) | (v >> (64 - r)); };
    const size_t bytes = size_t(width) * sizeof(quint32);
    const auto *p = reinterpret_cast<const uchar *>(row);
    quint64 a = 0x9e3779b97f4a7c15ull, b = 0xc2b2ae3d27d4eb4full;
    size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        quint64 x, y;
        std::memcpy(&x, p + i, 8);
        std::memcpy(&y, p + i + 8, 8);
        a = rotate(a ^ x, 29) * 0xff51afd7ed558ccdull;
        b = rotate(b ^ y, 31) * 0xc4ceb9fe1a85ec53ull;
    }
    for (; i < bytes; i += 4) {
        quint32 x;
        std::memcpy(&x, p + i, 4);
        a = rotate(a ^ x, 29) * 0xff51afd7ed558ccdull;
    }
    quint64 h = a ^ rotate(b, 32);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

// Gives every distinct row content a number, so that equal rows are known by
// equal numbers.  Hashes find the candidates; a full comparison confirms them.
class RowNumbering
{
public:
    explicit RowNumbering(int width)
        : m_width(width)
        , m_bytes(size_t(width) * sizeof(quint32))
    {
    }

    int number(const quint32 *row)
    {
        const quint64 hash = rowHash(row, m_width);
        for (auto it = m_byHash.find(hash); it != m_byHash.end() && it.key() == hash; ++it) {
            if (std::memcmp(m_rows[it.value()], row, m_bytes) == 0)
                return it.value();
        }
        const int number = m_rows.size();
        m_rows.append(row);
        m_byHash.insert(hash, number);
        return number;
    }

    const quint32 *row(int number) const { return m_rows[number]; }

private:
    int m_width;
    size_t m_bytes;
    QVector<const quint32 *> m_rows;
    QMultiHash<quint64, int> m_byHash;
};

// The Part's pair classification, from the rows' numbers: equal numbers are
// equal rows (similarity 1); other pairs have their pixels counted once.
class Classifier
{
public:
    Classifier(const RowNumbering &numbering, int width, const Thresholds &t)
        : m_numbering(numbering)
        , m_width(width)
        , m_thresholds(t)
        , m_identical(kindOf(1.0))
    {
    }

    Kind classify(int grabNumber, int stitchedNumber)
    {
        if (grabNumber == stitchedNumber)
            return m_identical;
        const quint64 key = (quint64(quint32(grabNumber)) << 32) | quint32(stitchedNumber);
        const auto known = m_counted.constFind(key);
        if (known != m_counted.constEnd())
            return *known;
        const Kind kind =
            kindOf(rowSimilarity(m_numbering.row(grabNumber), m_numbering.row(stitchedNumber), m_width));
        m_counted.insert(key, kind);
        return kind;
    }

private:
    Kind kindOf(double similarity) const
    {
        if (similarity >= m_thresholds.exactThreshold)
            return Kind::Exact;
        if (similarity >= m_thresholds.nearThreshold)
            return Kind::Near;
        return Kind::Different;
    }

    const RowNumbering &m_numbering;
    int m_width;
    Thresholds m_thresholds;
    Kind m_identical;
    QHash<quint64, Kind> m_counted;
};

} // namespace

double rowSimilarity(const quint32 *a, const quint32 *b, int width)
{
    int equal = 0;
    for (int x = 0; x < width; ++x)
        equal += a[x] == b[x];
    return double(equal) / width;
}

Match search(const Rows &stitched, const Rows &grab, int width, const Thresholds &t)
{
    const int grabHeight = grab.size();
    // Every row the search reads lies below the grab's height in both pictures.
    const int stitchedHeight = std::min<int>(stitched.size(), grabHeight);
    if (width <= 0 || grabHeight == 0)
        return Match();

    RowNumbering numbering(width);
    QVector<int> g(grabHeight);
    QVector<int> s(stitchedHeight);
    for (int i = 0; i < grabHeight; ++i)
        g[i] = numbering.number(grab[i]);
    for (int i = 0; i < stitchedHeight; ++i)
        s[i] = numbering.number(stitched[i]);
    Classifier classifier(numbering, width, t);

    const auto verify = [&](int g0, int base) {
        int k = 1, skip = 0, run = 0;
        for (;;) {
            if (g0 + skip + k >= grabHeight || base + skip + k >= stitchedHeight)
                return false;
            switch (classifier.classify(g[g0 + skip + k], s[base + skip + k])) {
            case Kind::Exact:
                ++k;
                ++run;
                break;
            case Kind::Near:
                // a caret or a highlight that changed between the grabs
                ++skip;
                if (run < t.exactRunNeeded)
                    run = 0;
                break;
            case Kind::Different:
                return false;
            }
            if (k >= t.rowsToVerify)
                return run >= t.exactRunNeeded;
        }
    };

    for (int pass = 0; pass < kPasses; ++pass) {
        const int base = pass * kPassStep;
        if (base >= stitchedHeight)
            break;
        for (int g0 = base; g0 < grabHeight; ++g0) {
            if (classifier.classify(g[g0], s[base]) != Kind::Exact || !verify(g0, base))
                continue;
            return Match{g0 == base ? Outcome::Same : Outcome::Found, base, g0};
        }
    }
    return Match();
}

} // namespace ScrollSearch

void RowStore::reset(int width)
{
    m_bands.clear();
    m_first = 0;
    m_width = std::max(0, width);
    m_height = 0;
}

quint32 *RowStore::at(int i) const
{
    const int j = i + m_first;
    return m_bands[size_t(j / kBandRows)].get() + size_t(j % kBandRows) * size_t(m_width);
}

quint32 *RowStore::row(int i) { return at(i); }

const quint32 *RowStore::row(int i) const { return at(i); }

void RowStore::prepend(int count)
{
    while (m_first < count) {
        m_bands.emplace_front(new quint32[size_t(kBandRows) * size_t(m_width)]);
        m_first += kBandRows;
    }
    m_first -= count;
    m_height += count;
}

void RowStore::append(int count)
{
    while (int(m_bands.size()) * kBandRows - m_first < m_height + count)
        m_bands.emplace_back(new quint32[size_t(kBandRows) * size_t(m_width)]);
    m_height += count;
}

QImage RowStore::toImage() const
{
    QImage image(m_width, m_height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const size_t bytes = size_t(m_width) * sizeof(quint32);
    for (int y = 0; y < m_height; ++y)
        std::memcpy(image.scanLine(y), at(y), bytes);
    return image;
}

namespace {

QImage asRgb32(const QImage &grab)
{
    // the screen's pixels as 32-bit values with an opaque alpha byte, as they are compared
    return grab.format() == QImage::Format_RGB32 ? grab : grab.convertToFormat(QImage::Format_RGB32);
}

} // namespace

ScrollStitcher::ScrollStitcher(const ScrollSearch::Thresholds &thresholds)
    : m_thresholds(thresholds)
{
}

void ScrollStitcher::restart(const QImage &grab)
{
    const QImage pixels = asRgb32(grab);
    m_store.reset(pixels.width());
    m_store.append(pixels.height());
    const size_t bytes = size_t(pixels.width()) * sizeof(quint32);
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(m_store.row(y), pixels.constScanLine(y), bytes);
}

ScrollSearch::Match ScrollStitcher::add(const QImage &grab, int direction)
{
    const QImage pixels = asRgb32(grab);
    const int w = pixels.width();
    const int h = pixels.height();
    const int stitchedHeight = m_store.height();
    if (w != m_store.width() || h > stitchedHeight || h == 0)
        return ScrollSearch::Match();

    const bool onTop = direction >= 0;
    ScrollSearch::Rows grabRows(h);
    for (int i = 0; i < h; ++i)
        grabRows[i] = reinterpret_cast<const quint32 *>(pixels.constScanLine(onTop ? i : h - 1 - i));
    // the search reads no stitched row beyond the grab's height from the edge
    ScrollSearch::Rows stitchedRows(h);
    for (int i = 0; i < h; ++i)
        stitchedRows[i] = m_store.row(onTop ? i : stitchedHeight - 1 - i);

    const ScrollSearch::Match match = ScrollSearch::search(stitchedRows, grabRows, w, m_thresholds);
    if (match.outcome != ScrollSearch::Outcome::Found)
        return match;

    // The grab's rows up to the found one replace the picture's edge rows
    // they cover (the anchor's base rows) and add the shift's new ones.
    const size_t bytes = size_t(w) * sizeof(quint32);
    if (onTop) {
        m_store.prepend(match.shift());
        for (int y = 0; y < match.g0; ++y)
            std::memcpy(m_store.row(y), pixels.constScanLine(y), bytes);
    } else {
        m_store.append(match.shift());
        const int top = stitchedHeight - match.base;
        for (int i = 0; i < match.g0; ++i)
            std::memcpy(m_store.row(top + i), pixels.constScanLine(h - match.g0 + i), bytes);
    }
    return match;
}
