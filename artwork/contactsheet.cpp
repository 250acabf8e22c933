#include "contactsheet.h"

#include "theme.h"

#include <QPainter>

namespace {

constexpr int sheetWidth = 1500;
constexpr int margin = 28;
constexpr int gap = 22;
constexpr int captionHeight = 34;

const QImage &find(const QVector<Picture> &pictures, const QString &name)
{
    for (const Picture &picture : pictures) {
        if (picture.name == name)
            return picture.image;
    }
    static const QImage none;
    return none;
}

struct Placed
{
    QString name;
    QPoint at;
};

struct Assembly
{
    QString title;
    QString background;
    QVector<Placed> parts;
};

// Dialogs with their buttons where the forms put them, to judge the set as
// the user sees it.
QVector<Assembly> assemblies()
{
    return {
        {QStringLiteral("Error box with Cancel"), QStringLiteral("frmError.png"),
         {{QStringLiteral("btnClose.png"), {409, 1}}, {QStringLiteral("btnCancel.png"), {310, 85}}}},
        {QStringLiteral("Upload error box"), QStringLiteral("frmUploadError.png"),
         {{QStringLiteral("btnClose.png"), {409, 1}},
          {QStringLiteral("btnReconnect.png"), {310, 33}},
          {QStringLiteral("btnSave.png"), {310, 85}}}},
        {QStringLiteral("Force-start box"), QStringLiteral("frmForceStartError.png"),
         {{QStringLiteral("btnClose.png"), {409, 1}},
          {QStringLiteral("btnLeave.png"), {310, 33}},
          {QStringLiteral("btnStop.png"), {310, 85}}}},
        {QStringLiteral("Editor toolbar, Line pressed"), QStringLiteral("frmImageEdit.png"),
         {{QStringLiteral("btnHighlight.png"), {15, 40}},
          {QStringLiteral("btnLine_Pressed.png"), {65, 40}},
          {QStringLiteral("btnArrow.png"), {115, 40}},
          {QStringLiteral("btnUndo.png"), {180, 40}},
          {QStringLiteral("btnUpload.png"), {245, 40}},
          {QStringLiteral("btnRectangle.png"), {15, 90}},
          {QStringLiteral("btnText.png"), {65, 90}},
          {QStringLiteral("btnColors.png"), {115, 90}},
          {QStringLiteral("btnUndoAll.png"), {180, 90}},
          {QStringLiteral("btnSave.png"), {245, 90}},
          {QStringLiteral("btnClose.png"), {349, 3}}}},
        {QStringLiteral("Tool frame, Screenshot mode"), QStringLiteral("frmMain.png"),
         {{QStringLiteral("btnClose.png"), {232, 1}},
          {QStringLiteral("chbModeSelect.png"), {-4, 251}}}},
        {QStringLiteral("Video quality"), QStringLiteral("frmVideo.png"),
         {{QStringLiteral("btnClose.png"), {232, 1}},
          {QStringLiteral("btnStartVideo.png"), {130, 50}}}},
        {QStringLiteral("Recording"), QStringLiteral("frmRecord.png"),
         {{QStringLiteral("btnStopRecord.png"), {21, 32}}}},
        {QStringLiteral("Upload progress"), QStringLiteral("frmProgress.png"),
         {{QStringLiteral("btnClose.png"), {339, 1}}}},
    };
}

QImage assemble(const QVector<Picture> &pictures, const Assembly &assembly)
{
    QImage image = find(pictures, assembly.background).copy();
    QPainter p(&image);
    for (const Placed &part : assembly.parts)
        p.drawImage(part.at, find(pictures, part.name));
    return image;
}

void paintChecker(QPainter &p, const QRect &rect)
{
    p.fillRect(rect, QColor(0xfb, 0xfc, 0xfd));
    const int cell = 8;
    for (int y = rect.top(); y < rect.bottom(); y += cell)
        for (int x = rect.left() + (((y - rect.top()) / cell) % 2) * cell; x < rect.right();
             x += 2 * cell)
            p.fillRect(QRect(x, y, cell, cell).intersected(rect), QColor(0xe7, 0xeb, 0xf0));
}

struct Cell
{
    QString caption;
    QImage image;
};

// Lays cells out left to right, wrapping at the sheet's width; paints them
// when `p` is given and returns the height used either way.
int flow(QPainter *p, int top, const QVector<Cell> &cells)
{
    int x = margin, rowHeight = 0, y = top;
    for (const Cell &cell : cells) {
        const QSize box = cell.image.size() + QSize(16, 16);
        const int width = qMax(box.width(), 160);
        if (x + width > sheetWidth - margin && x > margin) {
            x = margin;
            y += rowHeight + gap;
            rowHeight = 0;
        }
        if (p) {
            const QRect frame(x, y, box.width(), box.height());
            paintChecker(*p, frame);
            p->setPen(QColor(0xc8, 0xd0, 0xda));
            p->drawRect(frame.adjusted(0, 0, -1, -1));
            p->drawImage(frame.topLeft() + QPoint(8, 8), cell.image);
            p->setPen(Theme::ink);
            p->setFont(Theme::uiFont(12, QFont::DemiBold));
            p->drawText(QRect(x, y + box.height() + 4, width + 60, 16), Qt::AlignLeft, cell.caption);
            p->setPen(Theme::muted);
            p->setFont(Theme::uiFont(11));
            p->drawText(QRect(x, y + box.height() + 19, width, 14), Qt::AlignLeft,
                        QStringLiteral("%1 \u00d7 %2").arg(cell.image.width()).arg(cell.image.height()));
        }
        x += width + gap;
        rowHeight = qMax(rowHeight, box.height() + captionHeight);
    }
    return y + rowHeight - top;
}

struct Section
{
    QString heading;
    QVector<Cell> cells;
};

QVector<Section> sections(const QVector<Picture> &pictures)
{
    QVector<Section> result;
    for (const Picture &picture : pictures) {
        if (result.isEmpty() || result.last().heading != picture.group)
            result.append({picture.group, {}});
        result.last().cells.append({picture.name, picture.image});
    }
    Section assembled{QStringLiteral("Assembled as the forms place them"), {}};
    for (const Assembly &assembly : assemblies())
        assembled.cells.append({assembly.title, assemble(pictures, assembly)});
    result.append(assembled);
    return result;
}

int paintSections(QPainter *p, const QVector<Section> &all)
{
    int y = 96;
    for (const Section &section : all) {
        if (p) {
            p->setPen(Theme::ink);
            p->setFont(Theme::uiFont(17, QFont::Bold));
            p->drawText(QRect(margin, y, sheetWidth, 24), Qt::AlignLeft | Qt::AlignVCenter,
                        section.heading);
            p->setPen(QPen(QColor(0xc8, 0xd0, 0xda), 1));
            p->drawLine(margin, y + 30, sheetWidth - margin, y + 30);
        }
        y += 44;
        y += flow(p, y, section.cells) + 26;
    }
    return y;
}

} // namespace

QImage contactSheet(const QVector<Picture> &pictures)
{
    const QVector<Section> all = sections(pictures);
    const int height = paintSections(nullptr, all) + margin;

    QImage sheet(sheetWidth, height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0xf0, 0xf3, 0xf7));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(QRect(0, 0, sheetWidth, 72), Theme::ink);
    p.fillRect(QRect(0, 72, sheetWidth, 3), Theme::accent);
    Theme::paintWordmark(p, QRectF(margin, 18, 300, 36), Theme::white);
    p.setPen(QColor(0xa9, 0xb6, 0xc7));
    p.setFont(Theme::uiFont(15));
    p.drawText(QRect(280, 18, sheetWidth - 280 - margin, 36), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Resource artwork \u2014 generated at build time"));
    paintSections(&p, all);
    p.end();
    return sheet.convertToFormat(QImage::Format_RGB32);
}
