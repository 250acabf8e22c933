#pragma once

#include <QImage>
#include <QRgb>

// The page of the scrolling test program (tests/support/scrollpage): a tall
// picture whose rows the tests rebuild to compare a stitched capture with.
// Every row is distinct (the row number is in its colours), except for a
// stretch of identical blank rows; another stretch differs from row to row
// only in a narrow caret, as a text cursor that moves down a page would.
namespace ScrollPage {

constexpr int kRows = 3000;
constexpr int kWheelRows = 40; // one wheel step
constexpr int kKeyRows = 20;   // one Up or Down arrow key
constexpr int kCaretFirst = 600;
constexpr int kCaretEnd = 700;
constexpr int kBlankFirst = 1200;
constexpr int kBlankEnd = 1240;

QRgb pixel(int x, int row, int width);
// Rows first .. first + count - 1 of a page `width` pixels wide, RGB32.
QImage rows(int width, int first, int count);

} // namespace ScrollPage
