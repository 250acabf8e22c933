#pragma once

#include <QImage>
#include <QVector>
#include <QtGlobal>

#include <deque>
#include <memory>

// The search and stitching of a scrolling capture, apart from any window.
namespace ScrollSearch {

struct Thresholds
{
    int rowsToVerify = 100;
    int exactRunNeeded = 30;
    double exactThreshold = 1.0;
    double nearThreshold = 0.7;
};

enum class Outcome { NoFit, Same, Found };

struct Match
{
    Outcome outcome = Outcome::NoFit;
    int base = 0; // the stitched picture's anchor row, counted from the joined edge
    int g0 = 0;   // the grab's row found equal to it
    int shift() const { return g0 - base; }
};

// Rows counted from the joined edge: from the top when the content moved
// down (new rows on top), from the bottom when it moved up.
using Rows = QVector<const quint32 *>;

// Where the grab's rows continue the stitched picture's: the anchor rows 0,
// 50, ... 250 of the picture are looked for in the grab, and a candidate must
// then be followed by rowsToVerify - 1 exact rows, near rows skipped, with an
// unbroken run of exactRunNeeded exact rows by the end.  A row pair is exact
// or near when that share of its pixels are equal 32-bit values.  Rows are
// compared as whole blocks first (a row's equal pixels are counted only when
// the block differs), so this costs a few row reads per grab row however
// often rows repeat.
Match search(const Rows &stitched, const Rows &grab, int width, const Thresholds &thresholds);

// The share of equal pixels of two rows.
double rowSimilarity(const quint32 *a, const quint32 *b, int width);

} // namespace ScrollSearch

// The rows of a picture that grows at its top and its bottom, kept in bands
// so that adding rows at either end never moves the rows already there.
class RowStore
{
public:
    void reset(int width);
    int width() const { return m_width; }
    int height() const { return m_height; }
    quint32 *row(int i);
    const quint32 *row(int i) const;
    // New rows, not yet written, above row 0 or below the last row.
    void prepend(int count);
    void append(int count);
    // One copy of every row into a picture, RGB32; no painter, so any height works.
    QImage toImage() const;

private:
    static constexpr int kBandRows = 256;
    quint32 *at(int i) const;

    std::deque<std::unique_ptr<quint32[]>> m_bands;
    int m_first = 0; // rows of the first band above row 0
    int m_width = 0;
    int m_height = 0;
};

// A scrolling capture's picture: the first grab, then every grab that fits,
// its new rows added at the top or the bottom.
class ScrollStitcher
{
public:
    explicit ScrollStitcher(const ScrollSearch::Thresholds &thresholds);

    // Starts the picture afresh with one grab.
    void restart(const QImage &grab);
    // Lets the rows go, once the picture has been handed on.
    void clear() { m_store.reset(0); }
    // Looks for the grab in the picture and, when it shows new rows, stitches
    // them in.  direction < 0: the content moved up, new rows at the bottom;
    // otherwise new rows on top.  A grab of another width, or taller than
    // the picture, does not fit.
    ScrollSearch::Match add(const QImage &grab, int direction);

    int width() const { return m_store.width(); }
    int height() const { return m_store.height(); }
    bool isEmpty() const { return m_store.height() == 0; }
    const RowStore &rows() const { return m_store; }
    QImage image() const { return m_store.toImage(); }

private:
    ScrollSearch::Thresholds m_thresholds;
    RowStore m_store;
};
