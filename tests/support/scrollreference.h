#pragma once

#include "recorders/scrollstitcher.h"

#include <QImage>

// The scrolling capture's search and stitch as their definition reads: each
// row pair's pixels counted one by one, and each stitch painted with QPainter
// into a new picture.  Slow, and limited to the painter's 32767 rows; the
// tests and the bench hold the fast ones against it.
namespace ScrollReference {

ScrollSearch::Match search(const QImage &stitched, const QImage &grab, int direction,
                           const ScrollSearch::Thresholds &thresholds = ScrollSearch::Thresholds());
QImage stitch(const QImage &stitched, const QImage &grab, int direction, const ScrollSearch::Match &match);

} // namespace ScrollReference
