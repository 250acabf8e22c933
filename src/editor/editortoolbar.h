#pragma once

#include "editor/annotationitems.h"

#include <QList>
#include <QPoint>
#include <QRect>

class BaseFrame;
class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

// The editors' floating toolbar: the form both editors carry, built into a
// host widget (the screenshot editor itself, or the scroll capture editor's
// scroll window).  The widgets belong to their Qt parents.
class EditorToolbar
{
public:
    explicit EditorToolbar(QWidget *host);

    // The tool whose button is checked; None when none is.
    EditorTool checkedTool() const;
    // The five tool buttons.
    QList<QPushButton *> toolButtons() const;
    QPushButton *toolButton(EditorTool tool) const;

    // The toolbar's two places on the primary screen, given in the
    // coordinates of the toolbar's parent.
    void placeAtBottom(const QRect &primary);
    void placeAtTop(const QRect &primary);
    // Jumps to the other place when the cursor comes within 40 pixels.
    void dodge(const QPoint &cursor, const QRect &primary);

    BaseFrame *controlFrame = nullptr;
    QPushButton *btnHighlight = nullptr;
    QPushButton *btnLine = nullptr;
    QPushButton *btnArrow = nullptr;
    QPushButton *btnUndo = nullptr;
    QPushButton *btnUpload = nullptr;
    QPushButton *btnRect = nullptr;
    QPushButton *btnText = nullptr;
    QPushButton *btnColor = nullptr;
    QPushButton *btnUndoAll = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnCancel = nullptr;
    QCheckBox *cbDisableDialog = nullptr;
    QLabel *label = nullptr;
};
