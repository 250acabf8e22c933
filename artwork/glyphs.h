#pragma once

#include <QColor>
#include <QRect>

class QPainter;

// Line-art symbols drawn on a 24-unit grid with one stroke weight, so that
// every button of the set speaks the same visual language.
enum class Glyph {
    Close,
    Check,
    Save,
    CloudUp,
    LogIn,
    LogOut,
    Retry,
    Power,
    Leave,
    Bolt,
    RecordDot,
    StopSquare,
    FullScreen,
    ActiveWindow,
    Gear,
    Help,
    FilledRect,
    Highlight,
    Line,
    Arrow,
    Text,
    Undo,
    UndoAll,
    Drop,
    Camera,
    GifFilm,
    Scroll,
    Video,
    Warning,
    CloudError,
    Instances,
};

void paintGlyph(QPainter &p, Glyph glyph, const QRect &box, const QColor &colour);
