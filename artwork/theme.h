#pragma once

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// The one palette and the few shapes every picture is built from, so that
// dialogs, buttons and icons read as one set.
namespace Theme {

// Palette: a dark slate for headers and glyphs, a light body for the text
// that the style sheet sets in near-black, one blue accent, and signal
// colours for destructive and recording actions.
const QColor ink(0x1d, 0x27, 0x35);
const QColor inkRaised(0x2b, 0x3a, 0x4e);
const QColor body(0xf5, 0xf7, 0xfa);
const QColor bodyLow(0xea, 0xee, 0xf3);
const QColor edge(0xb4, 0xbf, 0xcc);
const QColor hairline(0xd6, 0xdd, 0xe6);
const QColor glyph(0x33, 0x41, 0x55);
const QColor muted(0x6b, 0x7a, 0x8d);
const QColor accent(0x2f, 0x6f, 0xeb);
const QColor accentDeep(0x1f, 0x56, 0xc7);
const QColor accentSoft(0xdc, 0xe8, 0xfd);
const QColor danger(0xe5, 0x48, 0x4d);
const QColor dangerDeep(0xc2, 0x30, 0x36);
const QColor record(0xf0, 0x3e, 0x3e);
const QColor go(0x1f, 0x9d, 0x6a);
const QColor goDeep(0x16, 0x7f, 0x55);
const QColor warn(0xf2, 0xa1, 0x1f);
const QColor white(0xff, 0xff, 0xff);

// Pixel sizes; fonts are set in pixels so the pictures do not depend on the
// resolution of the machine that draws them.
QFont uiFont(int pixelSize, int weight = QFont::Normal);
QFont wordmarkFont(int pixelSize);

// A rectangle with rounded corners, drawn on half pixels so 1-pixel outlines
// stay sharp.
QPainterPath rounded(const QRectF &rect, qreal radius);

// Dialog background: a rounded light card with an outline, optionally a dark
// header band carrying the mark and a title, and an accent rule below it.
struct Card
{
    int headerHeight = 0;
    QString title;
    qreal radius = 10;
};
void paintCard(QPainter &p, const QSize &size, const Card &card);

// A sunken area for embedded views (the loupe, the message field).
void paintWell(QPainter &p, const QRectF &rect, qreal radius);

// The product mark: a rounded blue tile with viewfinder corners and a bird
// in flight.
void paintMark(QPainter &p, const QRectF &rect);

// The mark followed by the product name, vertically centred in `rect`.
void paintWordmark(QPainter &p, const QRectF &rect, const QColor &textColour);

} // namespace Theme
