#include "pictures.h"

#include "glyphs.h"
#include "theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <QScopeGuard>

#include <functional>

using namespace Theme;

namespace {

// The scale every picture is drawn at: 1 for the plain set, 2 for the
// "@2x" set that Qt picks on screens with twice the pixels.
int &pictureScale()
{
    static int scale = 1;
    return scale;
}

QImage draw(const QSize &size, const std::function<void(QPainter &)> &paint)
{
    const int scale = pictureScale();
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    paint(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QColor mixed(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t,
                            a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

// ---- buttons -------------------------------------------------------------

enum class Tone { Primary, Secondary, Danger, Go };

struct ToneColours
{
    QColor top, bottom, border, content;
};

ToneColours colours(Tone tone)
{
    switch (tone) {
    case Tone::Primary:
        return {QColor(0x45, 0x85, 0xf7), accentDeep, QColor(0x1a, 0x4a, 0xad), white};
    case Tone::Danger:
        return {QColor(0xef, 0x5f, 0x63), dangerDeep, QColor(0xa9, 0x26, 0x2c), white};
    case Tone::Go:
        return {QColor(0x2c, 0xb3, 0x7c), goDeep, QColor(0x11, 0x6b, 0x47), white};
    case Tone::Secondary:
        break;
    }
    return {white, QColor(0xe9, 0xed, 0xf2), edge, ink};
}

// 110 x 40 command button: a raised rounded slab with a glyph and a word.
// The slab keeps clear of the bottom rows, which some forms cut off.
QImage actionButton(Tone tone, Glyph glyph, const QString &label)
{
    return draw({110, 40}, [&](QPainter &p) {
        const ToneColours c = colours(tone);
        const QRectF slab(1.5, 1.5, 107, 35);
        p.fillPath(rounded(slab.translated(0, 1.5), 8), QColor(16, 24, 40, 46));
        QLinearGradient fill(0, slab.top(), 0, slab.bottom());
        fill.setColorAt(0, c.top);
        fill.setColorAt(1, c.bottom);
        p.fillPath(rounded(slab, 8), fill);
        p.setPen(QPen(withAlpha(white, tone == Tone::Secondary ? 255 : 70), 1));
        p.drawLine(QPointF(slab.left() + 7, slab.top() + 1.5),
                   QPointF(slab.right() - 7, slab.top() + 1.5));
        p.setPen(QPen(c.border, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(rounded(slab, 8));

        const QFont font = uiFont(14, QFont::Bold);
        const int textWidth = QFontMetrics(font).horizontalAdvance(label);
        const int glyphSize = 18, gap = 7;
        const int left = qRound(slab.center().x() - (glyphSize + gap + textWidth) / 2.0);
        const int glyphTop = qRound(slab.center().y() - glyphSize / 2.0);
        const QColor glyphColour = tone == Tone::Secondary ? Theme::glyph : c.content;
        paintGlyph(p, glyph, QRect(left, glyphTop, glyphSize, glyphSize), glyphColour);
        p.setFont(font);
        p.setPen(c.content);
        p.drawText(QRectF(left + glyphSize + gap, slab.top(), textWidth + 4, slab.height()),
                   Qt::AlignVCenter | Qt::AlignLeft, label);
    });
}

// A square tile holding one glyph: tools, the overlay's column of buttons.
// Pressed tiles take the accent so the active tool stands out.
void paintTile(QPainter &p, const QRectF &rect, Glyph glyph, bool pressed, int glyphSize)
{
    p.fillPath(rounded(rect.translated(0, 1), 8), QColor(16, 24, 40, pressed ? 0 : 30));
    QLinearGradient fill(0, rect.top(), 0, rect.bottom());
    if (pressed) {
        fill.setColorAt(0, accentDeep);
        fill.setColorAt(1, accent);
    } else {
        fill.setColorAt(0, white);
        fill.setColorAt(1, QColor(0xee, 0xf1, 0xf5));
    }
    const QPainterPath shape = rounded(rect, 8);
    p.fillPath(shape, fill);
    p.setPen(QPen(pressed ? QColor(0x1a, 0x4a, 0xad) : edge, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    const QPointF c = rect.center();
    paintGlyph(p,
               glyph,
               QRect(qRound(c.x() - glyphSize / 2.0), qRound(c.y() - glyphSize / 2.0), glyphSize,
                     glyphSize),
               pressed ? white : Theme::glyph);
}

QImage toolButton(Glyph glyph, bool pressed)
{
    return draw({40, 40}, [&](QPainter &p) {
        paintTile(p, QRectF(2.5, 2.5, 35, 35), glyph, pressed, 24);
    });
}

const QRectF columnTile(1.5, 1.5, 36, 36);

QImage columnButton(Glyph glyph)
{
    return draw({39, 39}, [&](QPainter &p) { paintTile(p, columnTile, glyph, false, 24); });
}

// The colour button shows the tool's colour through a window in the tile;
// the corners repeat the toolbar's body so the square fill stays hidden.
QImage coloursButton()
{
    return draw({40, 40}, [&](QPainter &p) {
        const QRectF tile(2.5, 2.5, 35, 35);
        QPainterPath outside;
        outside.addRect(0, 0, 40, 40);
        outside = outside.subtracted(rounded(tile, 8));
        p.fillPath(outside, mixed(body, bodyLow, 110.0 / 171.0));

        QPainterPath frame = rounded(tile, 8).subtracted(rounded(tile.adjusted(5, 5, -5, -5), 4));
        p.fillPath(frame, white);
        p.setPen(QPen(edge, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(rounded(tile, 8));
        p.setPen(QPen(withAlpha(ink, 60), 1));
        p.drawPath(rounded(tile.adjusted(5, 5, -5, -5), 4));

        const QPointF badge(29.5, 29.5);
        p.setPen(QPen(edge, 1));
        p.setBrush(white);
        p.drawEllipse(badge, 7.5, 7.5);
        paintGlyph(p, Glyph::Drop, QRect(23, 23, 13, 13), Theme::glyph);
    });
}

QImage closeButton()
{
    return draw({20, 20}, [](QPainter &p) {
        QLinearGradient fill(0, 2, 0, 18);
        fill.setColorAt(0, QColor(0xf0, 0x62, 0x66));
        fill.setColorAt(1, dangerDeep);
        p.setPen(QPen(QColor(0x9e, 0x22, 0x28), 1));
        p.setBrush(fill);
        p.drawEllipse(QPointF(10, 10), 8, 8);
        paintGlyph(p, Glyph::Close, QRect(3, 3, 14, 14), white);
    });
}

QImage modeSelection()
{
    return draw({60, 30}, [](QPainter &p) {
        const QPainterPath pill = rounded(QRectF(3.5, 1.5, 53, 27), 9);
        p.fillPath(pill, withAlpha(accent, 46));
        p.setPen(QPen(accent, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(pill);
    });
}

// 38 x 38 Stop icon of the recording window, and its dimmed blink phase.
QImage stopRecordButton(bool lit)
{
    return draw({38, 38}, [&](QPainter &p) {
        const QPointF c(19, 19);
        if (lit) {
            QRadialGradient glow(c, 18);
            glow.setColorAt(0.75, withAlpha(record, 90));
            glow.setColorAt(1.0, withAlpha(record, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(c, 18.5, 18.5);
            QLinearGradient fill(0, 5, 0, 33);
            fill.setColorAt(0, QColor(0xf5, 0x5a, 0x5a));
            fill.setColorAt(1, dangerDeep);
            p.setBrush(fill);
            p.setPen(QPen(QColor(0x9e, 0x22, 0x28), 1));
            p.drawEllipse(c, 14, 14);
            paintGlyph(p, Glyph::StopSquare, QRect(8, 8, 22, 22), white);
        } else {
            p.setBrush(white);
            p.setPen(QPen(record, 2));
            p.drawEllipse(c, 13.5, 13.5);
            paintGlyph(p, Glyph::StopSquare, QRect(8, 8, 22, 22), record);
        }
    });
}

// ---- dialog backgrounds -------------------------------------------------

const QString brand = QStringLiteral("Snaplark");

// A soft round badge with a glyph, the symbol at the left of a message.
void paintBadge(QPainter &p, const QPointF &centre, qreal radius, const QColor &tint, Glyph glyph)
{
    p.setPen(Qt::NoPen);
    p.setBrush(mixed(white, tint, 0.16));
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(mixed(white, tint, 0.45), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius - 0.5, radius - 0.5);
    const int g = qRound(radius * 1.15);
    paintGlyph(p, glyph, QRect(qRound(centre.x() - g / 2.0), qRound(centre.y() - g / 2.0), g, g),
               tint);
}

// The message boxes: 430 x 150 with the message field at (60, 36) and the
// buttons in the right column at (310, 33) and (310, 85).
QImage messageBackground(const QColor &tint, Glyph glyph)
{
    return draw({430, 150}, [&](QPainter &p) {
        paintCard(p, {430, 150}, {28, brand, 10});
        paintBadge(p, {31, 58}, 19, tint, glyph);
    });
}

// The overlay's tool frame, 253 x 390 (see the overlay's form for the places
// of the label, loupe, buttons, mode switches and banner).
QImage toolFrameBackground()
{
    const QSize size(253, 390);
    return draw(size, [&](QPainter &p) {
        paintCard(p, size, {0, QString(), 10});
        const QPainterPath card = rounded(QRectF(0.5, 0.5, 252, 389), 10);

        p.save();
        p.setClipPath(card);
        // user strip at the top
        QLinearGradient strip(0, 0, 0, 46);
        strip.setColorAt(0, QColor(0xe4, 0xea, 0xf2));
        strip.setColorAt(1, QColor(0xdc, 0xe3, 0xec));
        p.fillRect(QRectF(0, 0, 253, 46), strip);
        p.fillRect(QRectF(0, 0, 253, 3), accent);
        p.setPen(QPen(hairline, 1));
        p.drawLine(QPointF(0, 46.5), QPointF(253, 46.5));

        // banner footer, hidden behind the banner once it has loaded
        QLinearGradient footer(0, 310, 0, 390);
        footer.setColorAt(0, inkRaised);
        footer.setColorAt(1, ink);
        p.fillRect(QRectF(0, 310, 253, 80), footer);
        p.fillRect(QRectF(0, 310, 253, 2), accent);
        p.restore();

        paintWordmark(p, QRectF(68, 331, 160, 24), white);
        p.setPen(QColor(0xa9, 0xb6, 0xc7));
        p.setFont(uiFont(11));
        p.drawText(QRectF(0, 360, 253, 16), Qt::AlignHCenter | Qt::AlignVCenter,
                   QStringLiteral("capture \u00b7 mark up \u00b7 share"));

        paintWell(p, QRectF(10, 49, 190, 190), 5);

        const Glyph column[] = {Glyph::FullScreen, Glyph::ActiveWindow, Glyph::Gear, Glyph::Help};
        for (int i = 0; i < 4; ++i)
            paintTile(p, columnTile.translated(207, 50 + 50 * i), column[i], false, 24);

        const Glyph modes[] = {Glyph::Camera, Glyph::GifFilm, Glyph::Scroll, Glyph::Video};
        const int modeLeft[] = {-4, 63, 132, 199};
        for (int i = 0; i < 4; ++i)
            paintGlyph(p, modes[i], QRect(modeLeft[i] + 20, 255, 20, 20), Theme::glyph);
    });
}

QImage settingsBackground()
{
    const QSize size(460, 560);
    return draw(size, [&](QPainter &p) {
        paintCard(p, size, {34, QStringLiteral("Snaplark Settings"), 10});
        p.setPen(QPen(hairline, 1));
        p.drawLine(QPointF(1, 503.5), QPointF(459, 503.5));
    });
}

// 253 x 262: quality choice before a video and the two completion dialogs.
QImage videoBackground()
{
    const QSize size(253, 262);
    return draw(size, [&](QPainter &p) { paintCard(p, size, {30, brand, 10}); });
}

// 80 x 93 recording window: a header with the recording light, the Stop
// icon at (21, 32) and a caption below it.
QImage recordBackground()
{
    const QSize size(80, 93);
    return draw(size, [&](QPainter &p) {
        paintCard(p, size, {22, QString(), 9});
        p.setPen(Qt::NoPen);
        p.setBrush(record);
        p.drawEllipse(QPointF(22, 11), 3.5, 3.5);
        p.setPen(white);
        p.setFont(uiFont(10, QFont::Bold));
        p.drawText(QRectF(29, 0, 40, 22), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("REC"));
        p.setPen(muted);
        p.setFont(uiFont(10, QFont::DemiBold));
        p.drawText(QRectF(0, 72, 80, 16), Qt::AlignCenter, QStringLiteral("Stop"));
    });
}

// 360 x 150 upload progress: message at (62, 44), bar at (20, 80).
QImage progressBackground()
{
    const QSize size(360, 150);
    return draw(size, [&](QPainter &p) {
        paintCard(p, size, {30, brand, 10});
        paintGlyph(p, Glyph::CloudUp, QRect(24, 40, 28, 28), accent);
    });
}

// 372 x 171 editor toolbar: drawing tools on the left, undo in the middle,
// Upload and Save on the right, the hint and check box along the bottom.
QImage editorToolbarBackground()
{
    const QSize size(372, 171);
    return draw(size, [&](QPainter &p) {
        paintCard(p, size, {30, QStringLiteral("Redaction"), 10});
        p.setPen(QPen(hairline, 1));
        p.drawLine(QPointF(167.5, 42), QPointF(167.5, 129));
        p.drawLine(QPointF(232.5, 42), QPointF(232.5, 129));
        p.drawLine(QPointF(10, 134.5), QPointF(362, 134.5));
    });
}

} // namespace

QVector<Picture> pngPictures(int scale)
{
    pictureScale() = scale;
    auto reset = qScopeGuard([] { pictureScale() = 1; });
    const QString dialogs = QStringLiteral("Dialog and panel backgrounds");
    const QString actions = QStringLiteral("Command buttons (110 x 40)");
    const QString tools = QStringLiteral("Editor tools (40 x 40), plain and pressed");
    const QString small = QStringLiteral("Small controls");

    const QImage toolFrame = toolFrameBackground();
    return {
        {QStringLiteral("frmMain.png"), dialogs, toolFrame},
        {QStringLiteral("frmMain_mac.png"), dialogs, toolFrame},
        {QStringLiteral("frmSettings.png"), dialogs, settingsBackground()},
        {QStringLiteral("frmVideo.png"), dialogs, videoBackground()},
        {QStringLiteral("frmRecord.png"), dialogs, recordBackground()},
        {QStringLiteral("frmProgress.png"), dialogs, progressBackground()},
        {QStringLiteral("frmError.png"), dialogs, messageBackground(danger, Glyph::Warning)},
        {QStringLiteral("frmUploadError.png"), dialogs,
         messageBackground(accent, Glyph::CloudError)},
        {QStringLiteral("frmForceStartError.png"), dialogs,
         messageBackground(warn, Glyph::Instances)},
        {QStringLiteral("frmImageEdit.png"), dialogs, editorToolbarBackground()},

        {QStringLiteral("btnOk.png"), actions, actionButton(Tone::Primary, Glyph::Check, "OK")},
        {QStringLiteral("btnCancel.png"), actions,
         actionButton(Tone::Secondary, Glyph::Close, "Cancel")},
        {QStringLiteral("btnSave.png"), actions, actionButton(Tone::Secondary, Glyph::Save, "Save")},
        {QStringLiteral("btnUpload.png"), actions,
         actionButton(Tone::Primary, Glyph::CloudUp, "Upload")},
        {QStringLiteral("btnSaveSettings.png"), actions,
         actionButton(Tone::Primary, Glyph::Check, "Save")},
        {QStringLiteral("btnLogon.png"), actions, actionButton(Tone::Primary, Glyph::LogIn, "Log in")},
        {QStringLiteral("btnLogout.png"), actions,
         actionButton(Tone::Secondary, Glyph::LogOut, "Log out")},
        {QStringLiteral("btnReconnect.png"), actions,
         actionButton(Tone::Primary, Glyph::Retry, "Retry")},
        {QStringLiteral("btnStop.png"), actions, actionButton(Tone::Danger, Glyph::Power, "Restart")},
        {QStringLiteral("btnLeave.png"), actions, actionButton(Tone::Secondary, Glyph::Leave, "Leave")},
        {QStringLiteral("btnForceStart.png"), actions,
         actionButton(Tone::Danger, Glyph::Bolt, "Force start")},
        {QStringLiteral("btnStartVideo.png"), actions,
         actionButton(Tone::Danger, Glyph::RecordDot, "Record")},
        {QStringLiteral("btnGifStart.png"), actions,
         actionButton(Tone::Go, Glyph::RecordDot, "Start")},
        {QStringLiteral("btnGifStop.png"), actions,
         actionButton(Tone::Danger, Glyph::StopSquare, "Stop")},
        {QStringLiteral("btnGifCancel.png"), actions,
         actionButton(Tone::Secondary, Glyph::Close, "Cancel")},

        {QStringLiteral("btnRectangle.png"), tools, toolButton(Glyph::FilledRect, false)},
        {QStringLiteral("btnRectangle_Pressed.png"), tools, toolButton(Glyph::FilledRect, true)},
        {QStringLiteral("btnHighlight.png"), tools, toolButton(Glyph::Highlight, false)},
        {QStringLiteral("btnHighlight_Pressed.png"), tools, toolButton(Glyph::Highlight, true)},
        {QStringLiteral("btnLine.png"), tools, toolButton(Glyph::Line, false)},
        {QStringLiteral("btnLine_Pressed.png"), tools, toolButton(Glyph::Line, true)},
        {QStringLiteral("btnArrow.png"), tools, toolButton(Glyph::Arrow, false)},
        {QStringLiteral("btnArrow_Pressed.png"), tools, toolButton(Glyph::Arrow, true)},
        {QStringLiteral("btnText.png"), tools, toolButton(Glyph::Text, false)},
        {QStringLiteral("btnText_Pressed.png"), tools, toolButton(Glyph::Text, true)},
        {QStringLiteral("btnUndo.png"), tools, toolButton(Glyph::Undo, false)},
        {QStringLiteral("btnUndo_Pressed.png"), tools, toolButton(Glyph::Undo, true)},
        {QStringLiteral("btnUndoAll.png"), tools, toolButton(Glyph::UndoAll, false)},
        {QStringLiteral("btnUndoAll_Pressed.png"), tools, toolButton(Glyph::UndoAll, true)},
        {QStringLiteral("btnColors.png"), tools, coloursButton()},

        {QStringLiteral("btnClose.png"), small, closeButton()},
        {QStringLiteral("chbModeSelect.png"), small, modeSelection()},
        {QStringLiteral("btnFullScreen.png"), small, columnButton(Glyph::FullScreen)},
        {QStringLiteral("btnActiveWindow.png"), small, columnButton(Glyph::ActiveWindow)},
        {QStringLiteral("btnSettings.png"), small, columnButton(Glyph::Gear)},
        {QStringLiteral("btnHelp.png"), small, columnButton(Glyph::Help)},
        {QStringLiteral("btnStopRecord.png"), small, stopRecordButton(true)},
        {QStringLiteral("btnStopRecord2.png"), small, stopRecordButton(false)},
    };
}

QImage stampPicture()
{
    return draw({48, 48}, [](QPainter &p) { paintMark(p, QRectF(2, 2, 44, 44)); });
}

QImage closingPicture()
{
    return draw({499, 121}, [](QPainter &p) {
        p.fillRect(QRect(0, 0, 499, 121), white);
        paintMark(p, QRectF(28, 18, 85, 85));
        p.setPen(ink);
        p.setFont(wordmarkFont(56));
        p.drawText(QRectF(134, 14, 360, 62), Qt::AlignLeft | Qt::AlignVCenter, brand);
        p.setPen(muted);
        p.setFont(uiFont(17));
        p.drawText(QRectF(136, 74, 360, 26), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Made with Snaplark \u00b7 capture, mark up, share"));
    });
}

QImage applicationIcon(int size)
{
    return draw({size, size}, [&](QPainter &p) {
        const qreal m = size / 16.0;
        paintMark(p, QRectF(m, m, size - 2 * m, size - 2 * m));
    });
}

QImage folderIcon()
{
    return draw({128, 128}, [](QPainter &p) {
        // back of the folder with its tab
        QPainterPath back;
        back.moveTo(10, 30);
        back.quadTo(10, 22, 18, 22);
        back.lineTo(46, 22);
        back.quadTo(51, 22, 54, 27);
        back.lineTo(58, 32);
        back.lineTo(110, 32);
        back.quadTo(118, 32, 118, 40);
        back.lineTo(118, 100);
        back.lineTo(10, 100);
        back.closeSubpath();
        p.fillPath(back, accentDeep);

        p.fillPath(rounded(QRectF(16, 38, 96, 40), 4), QColor(0xf4, 0xf7, 0xfb));

        QPainterPath front = rounded(QRectF(8, 46, 112, 62), 8);
        QLinearGradient fill(0, 46, 0, 108);
        fill.setColorAt(0, QColor(0x58, 0x98, 0xff));
        fill.setColorAt(1, accent);
        p.fillPath(front, fill);
        p.setPen(QPen(withAlpha(white, 90), 1.5));
        p.drawLine(QPointF(16, 48.5), QPointF(112, 48.5));

        // the viewfinder and lark of the mark, in white on the folder
        QPen corner(white, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(corner);
        p.setBrush(Qt::NoBrush);
        const qreal l = 42, r = 86, t = 57, b = 97, k = 9;
        p.drawPolyline(QPolygonF({{l, t + k}, {l, t}, {l + k, t}}));
        p.drawPolyline(QPolygonF({{r - k, t}, {r, t}, {r, t + k}}));
        p.drawPolyline(QPolygonF({{r, b - k}, {r, b}, {r - k, b}}));
        p.drawPolyline(QPolygonF({{l + k, b}, {l, b}, {l, b - k}}));
        paintGlyph(p, Glyph::Camera, QRect(52, 65, 24, 24), white);
    });
}
