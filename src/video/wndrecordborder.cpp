#include "video/wndrecordborder.h"

#include <QHBoxLayout>
#include <QRegion>
#include <QWidget>

namespace {
constexpr int kLine = 2; // the style sheet's border width
}

wndrecordborder::wndrecordborder()
{
    setObjectName(QStringLiteral("wndrecordborder"));
    setWindowTitle(QStringLiteral("Form"));
    resize(400, 300);
    auto *layout = new QHBoxLayout(this);
    layout->setObjectName(QStringLiteral("horizontalLayout"));
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("widget"));
    frame->setStyleSheet(QStringLiteral("border:2px solid red; background:transparent;"));
    // a plain QWidget draws its style sheet's border only with this set
    frame->setAttribute(Qt::WA_StyledBackground);
    layout->addWidget(frame);

    setAttribute(Qt::WA_TranslucentBackground);
    // clicks go through to the application being recorded
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                   | Qt::WindowTransparentForInput);
}

void wndrecordborder::place(const QRect &geometry)
{
    setFixedSize(geometry.size());
    move(geometry.topLeft());
    // Only the line belongs to the window: without a compositor a
    // translucent window is drawn opaque, and would hide the region.
    const QRect outer(QPoint(0, 0), geometry.size());
    setMask(QRegion(outer).subtracted(QRegion(outer.adjusted(kLine, kLine, -kLine, -kLine))));
}
