#include "capture/overlaylogic.h"

#include <QImage>
#include <cstdlib>

namespace OverlayLogic {

QRect selectionRect(const QPoint &press, const QPoint &cursor)
{
    return QRect(qMin(press.x(), cursor.x()), qMin(press.y(), cursor.y()),
                 std::abs(press.x() - cursor.x()), std::abs(press.y() - cursor.y()));
}

bool isClick(const QRect &selection)
{
    return selection.isEmpty() || (selection.width() <= 1 && selection.height() <= 1);
}

QString colorText(const QPixmap &grab, const QPoint &cursor)
{
    const QPoint pixel(cursor.x() - 1, cursor.y() - 1);
    if (!grab.rect().contains(pixel))
        return QStringLiteral("#000000");
    // Copy the one pixel rather than converting the whole desktop.
    const QImage one = grab.copy(QRect(pixel, QSize(1, 1))).toImage();
    return QColor(one.pixel(0, 0)).name().toUpper();
}

QString hintText(const QPoint &cursor, const QPoint &press, bool dragging, const QString &color)
{
    if (dragging)
        return QStringLiteral("X:%1, Y:%2 | Area:%3x%4 | %5")
            .arg(cursor.x())
            .arg(cursor.y())
            .arg(std::abs(cursor.x() - 1 - press.x()))
            .arg(std::abs(cursor.y() - 1 - press.y()))
            .arg(color);
    return QStringLiteral("X:%1, Y:%2 | %3").arg(cursor.x()).arg(cursor.y()).arg(color);
}

QRect cutToWorkAreas(const QRect &window, const QVector<QRect> &workAreas)
{
    QRect result = window;
    for (const QRect &area : workAreas) {
        if (result.contains(area))
            result = result.intersected(area);
    }
    return result;
}

QRegion selectionChange(const QRect &before, const QRect &after)
{
    // The dashed frame runs one pixel outside the selection's right and
    // bottom edges; its dash phase moves with the corner, so each edge is
    // redrawn whole.
    auto frame = [](const QRect &r) {
        if (r.width() < 1 || r.height() < 1)
            return QRegion();
        const QRect outer = r.adjusted(-1, -1, 2, 2);
        return QRegion(outer).subtracted(QRegion(r.adjusted(2, 2, -2, -2)));
    };
    return (QRegion(before) ^ QRegion(after)) + frame(before) + frame(after);
}

QVector<int> captionLefts(const QVector<int> &centres, const QVector<int> &widths, int frameWidth, int gap)
{
    QVector<int> lefts;
    for (int i = 0; i < centres.size(); ++i) {
        // Twice the room's edges, so that odd distances round inward.
        const int left2 = i == 0 ? 2 * gap : centres[i - 1] + centres[i] + gap;
        const int right2 = i + 1 == centres.size() ? 2 * (frameWidth - gap) : centres[i] + centres[i + 1] - gap;
        const int roomLeft = (left2 + 1) / 2, roomRight = right2 / 2;
        const int width = widths.value(i);
        if (width > roomRight - roomLeft)
            return {};
        lefts.append(qBound(roomLeft, centres[i] - width / 2, roomRight - width));
    }
    return lefts;
}

} // namespace OverlayLogic
