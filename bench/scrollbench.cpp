// Scrolling capture: the cost of one step (search and stitch of a 1000x800
// grab scrolled by 40 rows) when the stitched picture is about 1,000 and
// about 50,000 rows high, measured in turns in one run, which the row store
// should keep alike; and the search's worst case, a page of identical rows
// whose verification breaks at a late row for every candidate, against the
// 16 ms of a frame, next to the definition's pixel-by-pixel search.
//   scrollbench
#include "benchstats.h"
#include "recorders/scrollstitcher.h"
#include "scrollreference.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>

namespace {

using BenchStats::Series;

constexpr int kWidth = 1000;
constexpr int kRegion = 800;
constexpr int kStep = 40;
constexpr int kSamples = 40;
constexpr double kFrameMs = 16.0;

// Rows of a page that differ from each other in every pixel, as text lines
// of a long document mostly do.
QImage pageRows(int first, int count)
{
    QImage image(kWidth, count, QImage::Format_RGB32);
    for (int y = 0; y < count; ++y) {
        const int row = first + y;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x)
            line[x] = qRgb(row & 0xff, (row >> 8) & 0xff, ((row >> 16) * 16 + x) & 0xff);
    }
    return image;
}

// A stitcher whose picture is `height` rows, grown as a user's scrolling grows it; `top` is the
// page row at the top of the last grab.
ScrollStitcher grown(int height, int *top)
{
    ScrollStitcher stitcher{ScrollSearch::Thresholds()};
    *top = 0;
    stitcher.restart(pageRows(0, kRegion));
    while (stitcher.height() < height) {
        *top += std::min(kRegion - 100, height - stitcher.height());
        stitcher.add(pageRows(*top, kRegion), -1);
    }
    return stitcher;
}

QImage uniform(int height, QRgb colour)
{
    QImage image(kWidth, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);

    int topSmall = 0, topLarge = 0;
    ScrollStitcher small = grown(1000, &topSmall);
    ScrollStitcher large = grown(50000, &topLarge);
    std::printf("stitched pictures: %d and %d rows, %dx%d grabs, %d rows a step\n", small.height(), large.height(),
                kWidth, kRegion, kStep);
    Series smallSteps, largeSteps;
    bool allFound = true;
    for (int i = 0; i < kSamples; ++i) {
        // the grabs are made outside the timing, as the screen makes them
        const QImage a = pageRows(topSmall += kStep, kRegion);
        const QImage b = pageRows(topLarge += kStep, kRegion);
        smallSteps.add(BenchStats::elapsedMs([&] { allFound &= small.add(a, -1).outcome == ScrollSearch::Outcome::Found; }));
        largeSteps.add(BenchStats::elapsedMs([&] { allFound &= large.add(b, -1).outcome == ScrollSearch::Outcome::Found; }));
    }
    const BenchStats::Ratios steps = BenchStats::ratios(largeSteps, smallSteps);
    std::printf("step at ~1,000 rows:  mean %.2f ms, median %.2f ms, best %.2f ms\n", smallSteps.mean(),
                smallSteps.median(), smallSteps.best());
    std::printf("step at ~50,000 rows: mean %.2f ms, median %.2f ms, best %.2f ms\n", largeSteps.mean(),
                largeSteps.median(), largeSteps.best());
    std::printf("50,000 / 1,000 rows: %.2fx by means, %.2fx by medians (every step found: %s)\n", steps.means,
                steps.medians, allFound ? "yes" : "NO");

    // Identical rows everywhere, but the picture's rows 99, 149, ... 349 from the joined edge:
    // every candidate of every pass has an exact anchor, the first pass's break at their 99th
    // row, the others' at their 49th, and the grab does not fit.
    QImage stitched = uniform(kRegion, qRgb(200, 200, 200));
    for (int row = 99; row < 400; row += 50)
        std::fill_n(reinterpret_cast<QRgb *>(stitched.scanLine(kRegion - 1 - row)), kWidth, qRgb(10, 20, 30));
    const QImage grab = uniform(kRegion, qRgb(200, 200, 200));
    ScrollStitcher worst{ScrollSearch::Thresholds()};
    Series worstSearch;
    ScrollSearch::Outcome outcome = ScrollSearch::Outcome::Found;
    for (int i = 0; i < kSamples; ++i) {
        worst.restart(stitched);
        worstSearch.add(BenchStats::elapsedMs([&] { outcome = worst.add(grab, -1).outcome; }));
    }
    Series definition;
    ScrollSearch::Match reference;
    definition.add(BenchStats::elapsedMs([&] { reference = ScrollReference::search(stitched, grab, -1); }));
    std::printf("search, worst case (identical rows, late break, no fit: %s): mean %.2f ms, median %.2f ms, "
                "best %.2f ms; %.0f%% of a %.0f ms frame\n",
                outcome == ScrollSearch::Outcome::NoFit && reference.outcome == outcome ? "yes" : "NO",
                worstSearch.mean(), worstSearch.median(), worstSearch.best(), 100 * worstSearch.median() / kFrameMs,
                kFrameMs);
    std::printf("the definition's pixel-by-pixel search, same case: %.0f ms (%.0fx)\n", definition.mean(),
                definition.mean() / worstSearch.median());
    return allFound && outcome == ScrollSearch::Outcome::NoFit ? 0 : 1;
}
