#include "editor/editortoolbar.h"

#include "core/serviceconfig.h"
#include "ui/baseframe.h"
#include "ui/toolframeplace.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace {

QString richToolTip(const QString &text)
{
    return QStringLiteral("<html><head/><body><p><span style=\" font-size:9pt;\">%1</span></p></body></html>")
        .arg(text.toHtmlEscaped());
}

QPushButton *button(QWidget *parent, const char *name, const QRect &geometry, const QString &toolTip)
{
    auto *result = new QPushButton(parent);
    result->setObjectName(QLatin1String(name));
    result->setGeometry(geometry);
    result->setFlat(true);
    result->setDefault(false);
    result->setAutoDefault(false);
    result->setAutoFillBackground(false);
    if (!toolTip.isEmpty())
        result->setToolTip(richToolTip(toolTip));
    return result;
}

// A checkable tool button: one image, another while checked.
QPushButton *checkableButton(QWidget *parent, const char *name, const QRect &geometry, const QString &image,
                        const QString &toolTip)
{
    QPushButton *result = button(parent, name, geometry, toolTip);
    result->setCheckable(true);
    result->setStyleSheet(QStringLiteral("QPushButton#%1{background-image: url(:/resources/%2.png);border-style: no-border;}"
                                         "QPushButton#%1:checked{background-image: url(:/resources/%2_Pressed.png);}")
                              .arg(QLatin1String(name), image));
    return result;
}

// A command button, optionally with another image while pressed.
QPushButton *commandButton(QWidget *parent, const char *name, const QRect &geometry, const QString &image,
                           bool pressedImage, const QString &toolTip)
{
    QPushButton *result = button(parent, name, geometry, toolTip);
    QString style = QStringLiteral("QPushButton#%1{background-image: url(:/resources/%2.png);border-style: no-border;}")
                        .arg(QLatin1String(name), image);
    if (pressedImage)
        style += QStringLiteral("QPushButton#%1:pressed{background-image: url(:/resources/%2_Pressed.png);}")
                     .arg(QLatin1String(name), image);
    result->setStyleSheet(style);
    return result;
}

} // namespace

EditorToolbar::EditorToolbar(QWidget *host)
{
    host->resize(739, 565);
    if (host->objectName().isEmpty())
        host->setObjectName(QStringLiteral("WndScreenshotEditor"));
    host->setWindowTitle(QStringLiteral("Dialog"));

    controlFrame = new BaseFrame(host);
    controlFrame->setObjectName(QStringLiteral("controlFrame"));
    controlFrame->setGeometry(160, 140, 372, 171);
    controlFrame->setFrameShape(QFrame::StyledPanel);
    controlFrame->setFrameShadow(QFrame::Raised);
    controlFrame->setAutoFillBackground(false);
    controlFrame->setStyleSheet(
        QStringLiteral("QFrame#controlFrame{background-image: url(:/resources/frmImageEdit.png);border-style: no-border;}"));

    btnHighlight = checkableButton(controlFrame, "btnHighlight", QRect(15, 40, 40, 40), QStringLiteral("btnHighlight"),
                              QStringLiteral("Highlight/Rectangle"));
    btnLine = checkableButton(controlFrame, "btnLine", QRect(65, 40, 40, 40), QStringLiteral("btnLine"),
                         QStringLiteral("Line"));
    btnArrow = checkableButton(controlFrame, "btnArrow", QRect(115, 40, 40, 40), QStringLiteral("btnArrow"),
                          QStringLiteral("Arrow"));
    btnUndo = commandButton(controlFrame, "btnUndo", QRect(180, 40, 40, 40), QStringLiteral("btnUndo"), true,
                            QStringLiteral("Undo last operation"));
    btnUpload = commandButton(controlFrame, "btnUpload", QRect(245, 40, 110, 40), QStringLiteral("btnUpload"), false,
                              QStringLiteral("Upload to ") + ServiceConfig::host() + QStringLiteral(" for sharing"));
    btnRect = checkableButton(controlFrame, "btnRect", QRect(15, 90, 40, 41), QStringLiteral("btnRectangle"),
                         QStringLiteral("Blackout/Filled Rectangle/Hide confidential data."));
    btnText = checkableButton(controlFrame, "btnText", QRect(65, 90, 40, 40), QStringLiteral("btnText"),
                         QStringLiteral("Text"));
    // Restyled with the current colour whenever a tool is chosen.
    btnColor = button(controlFrame, "btnColor", QRect(115, 90, 40, 40), QStringLiteral("Select color for your current tool"));
    btnUndoAll = commandButton(controlFrame, "btnUndoAll", QRect(180, 90, 40, 40), QStringLiteral("btnUndoAll"), true,
                               QStringLiteral("Undo all operations"));
    btnSave = commandButton(controlFrame, "btnSave", QRect(245, 90, 110, 40), QStringLiteral("btnSave"), false,
                            QStringLiteral("Save to your computer"));

    btnCancel = commandButton(controlFrame, "btnCancel", QRect(348, 2, 21, 21), QStringLiteral("btnClose"), false,
                              QString());
    btnCancel->setFocusPolicy(Qt::NoFocus);
    btnCancel->setIconSize(QSize(24, 24));

    cbDisableDialog = new QCheckBox(QStringLiteral("Disable redaction mode"), controlFrame);
    cbDisableDialog->setObjectName(QStringLiteral("cbDisableDialog"));
    cbDisableDialog->setGeometry(233, 138, 141, 20);
    cbDisableDialog->setToolTip(richToolTip(QStringLiteral("Do not show this dialog anymore, can be re-enabled in settings")));
    cbDisableDialog->setChecked(false);

    label = new QLabel(controlFrame);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(10, 138, 211, 20);
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<span style=\" color:#aa0000;\">Redaction elements will be part of image...</span>"));
    label->setToolTip(richToolTip(QStringLiteral(
        "When image saved or uploaded, all redaction elements will be part of image and cannot be removed. "
        "Use online annotations if you\u2019d like to keep original image available.")));

    // The artwork's narrow face at a pixel size: the texts must fit their
    // places whatever the display's resolution.
    for (QWidget *text : {static_cast<QWidget *>(cbDisableDialog), static_cast<QWidget *>(label)}) {
        QFont font = text->font();
        font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
        font.setPixelSize(10);
        text->setFont(font);
    }
}

EditorTool EditorToolbar::checkedTool() const
{
    if (btnRect->isChecked())
        return EditorTool::Rect;
    if (btnArrow->isChecked())
        return EditorTool::Arrow;
    if (btnLine->isChecked())
        return EditorTool::Line;
    if (btnHighlight->isChecked())
        return EditorTool::Highlight;
    if (btnText->isChecked())
        return EditorTool::Text;
    return EditorTool::None;
}

QList<QPushButton *> EditorToolbar::toolButtons() const
{
    return {btnRect, btnHighlight, btnLine, btnArrow, btnText};
}

QPushButton *EditorToolbar::toolButton(EditorTool tool) const
{
    switch (tool) {
    case EditorTool::Rect:
        return btnRect;
    case EditorTool::Highlight:
        return btnHighlight;
    case EditorTool::Line:
        return btnLine;
    case EditorTool::Arrow:
        return btnArrow;
    case EditorTool::Text:
        return btnText;
    case EditorTool::None:
        break;
    }
    return nullptr;
}

void EditorToolbar::placeAtBottom(const QRect &primary)
{
    controlFrame->move(ToolFramePlace::lower(primary, controlFrame->size()));
}

void EditorToolbar::placeAtTop(const QRect &primary)
{
    controlFrame->move(ToolFramePlace::upper(primary, controlFrame->size()));
}

void EditorToolbar::dodge(const QPoint &cursor, const QRect &primary)
{
    const QPoint target = ToolFramePlace::dodge(controlFrame->geometry(), cursor, primary);
    if (target != controlFrame->pos())
        controlFrame->move(target);
}
