#include "editor/editoractions.h"

#include "core/appcontrol.h"
#include "core/screengeometry.h"
#include "settings/settings.h"
#include "ui/basedialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QWidget>

EditorActions::EditorActions(QWidget *host, QWidget *editor)
    : m_editor(editor)
    , m_toolbar(host)
{
    const QStringList names = Settings::colors();
    QColor *stored[] = {&m_colors.rect, &m_colors.text, &m_colors.highlight, &m_colors.line, &m_colors.arrow};
    for (int i = 0; i < 5 && i < names.size(); ++i)
        *stored[i] = QColor(names.at(i));
    updateColorButton();
}

QColor *EditorActions::ToolColors::of(EditorTool tool)
{
    switch (tool) {
    case EditorTool::Rect:
        return &rect;
    case EditorTool::Highlight:
        return &highlight;
    case EditorTool::Text:
        return &text;
    case EditorTool::Line:
        return &line;
    case EditorTool::Arrow:
        return &arrow;
    case EditorTool::None:
        break;
    }
    return nullptr;
}

void EditorActions::append(const QVariant &entry)
{
    m_items.append(entry);
    m_editor->update(itemBounds(entry));
}

void EditorActions::selectTool(EditorTool clicked)
{
    const QPushButton *keep = m_toolbar.toolButton(clicked);
    for (QPushButton *button : m_toolbar.toolButtons()) {
        if (button != keep)
            button->setChecked(false);
    }
    updateColorButton();
}

void EditorActions::updateColorButton()
{
    Settings::setColors({m_colors.rect.name(), m_colors.text.name(), m_colors.highlight.name(),
                         m_colors.line.name(), m_colors.arrow.name()});
    const EditorTool tool = m_toolbar.checkedTool();
    if (tool == EditorTool::None) {
        m_toolbar.btnColor->hide();
        return;
    }
    m_current = *m_colors.of(tool);
    m_toolbar.btnColor->show();
    styleColorButton();
}

void EditorActions::styleColorButton()
{
    m_toolbar.btnColor->setStyleSheet(
        QStringLiteral("QPushButton#btnColor{background-image: url(:/resources/btnColors.png);border-style: "
                       "no-border;background-color: %1;}")
            .arg(m_current.name()));
    m_toolbar.btnColor->setAutoFillBackground(true);
}

void EditorActions::chooseColor()
{
    QColorDialog dialog(m_current, m_editor);
    dialog.setWindowTitle(QStringLiteral("Select Color"));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
    dialog.move(DialogPlacement::onPrimaryScreen(dialog.sizeHint()));
    AppControl::runModal(&dialog);

    // A cancelled dialog selects no colour.
    const QColor chosen = dialog.selectedColor();
    if (chosen.isValid()) {
        m_current = chosen;
        if (QColor *tool = m_colors.of(m_toolbar.checkedTool()))
            *tool = chosen;
        styleColorButton();
    }
    updateColorButton();
}

void EditorActions::insertText(const QPoint &mousePos, std::optional<int> maxLength)
{
    QDialog dialog(m_editor);
    dialog.setWindowTitle(QStringLiteral("Insert text"));
    dialog.setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
    auto *layout = new QVBoxLayout(&dialog);
    auto *caption = new QLabel(QStringLiteral("Text (short comment):"), &dialog);
    caption->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    auto *edit = new QLineEdit(&dialog);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(caption);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    if (maxLength)
        edit->setMaxLength(qMax(0, *maxLength));

    dialog.setFixedSize(dialog.sizeHint());
    dialog.move(textDialogPosition(QCursor::pos(), dialog.size(), ScreenGeometry::screenRects(false, true)));

    if (AppControl::runModal(&dialog) == QDialog::Accepted)
        append(textItem(edit->text(), mousePos, m_current));
}

void EditorActions::undo()
{
    if (m_items.isEmpty())
        return;
    const QRect area = itemBounds(m_items.entries().last());
    m_items.undo();
    m_editor->update(area);
}

void EditorActions::undoAll()
{
    QRegion area;
    for (const QVariant &entry : m_items.entries())
        area += itemBounds(entry);
    m_items.undoAll();
    m_editor->update(area);
}

void EditorActions::applyDisableDialog() const
{
    if (m_toolbar.cbDisableDialog->isChecked())
        Settings::setDefAction(Settings::ActionUpload);
}

void EditorActions::selectFinishAction(int action)
{
    Settings::setCurrentAction(action);
    if (action != Settings::ActionSaveOnly)
        return;
    // Without an upload there is no link to copy: those forms fall back to
    // the file's path.
    switch (Settings::currentClipboard()) {
    case Settings::ClipboardWebPageUrl:
    case Settings::ClipboardDirectUrl:
    case Settings::ClipboardEmbedSite:
    case Settings::ClipboardEmbedForum:
        Settings::setCurrentClipboard(Settings::ClipboardLocalPath);
        break;
    default:
        break;
    }
}

void EditorActions::cancel()
{
    applyDisableDialog();
    AppControl::endRun(0);
}

void EditorActions::keyPress(QKeyEvent *event)
{
    event->accept();
    if (event->key() != Qt::Key_Escape)
        return;

    QMessageBox box(QMessageBox::Question, QStringLiteral("Snaplark " SNAPLARK_VERSION),
                    QStringLiteral("Do you really want to close Snaplark?"), QMessageBox::Yes | QMessageBox::No,
                    m_editor);
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::ApplicationModal);
    box.move(DialogPlacement::onPrimaryScreen(box.sizeHint()));
    if (AppControl::runModal(&box) == QMessageBox::Yes)
        cancel();
}

QPoint textDialogPosition(const QPoint &cursor, const QSize &dialog, const QVector<QRect> &screens)
{
    const int w = dialog.width();
    const int h = dialog.height();
    QPoint pos = cursor - QPoint(w / 2, h / 2);
    for (const QRect &s : screens) {
        if (!s.contains(cursor))
            continue;
        if (cursor.x() > s.right() - w / 2 - 8)
            pos.setX(s.right() - w - 15);
        if (cursor.y() > s.bottom() - h / 2 - 20)
            pos.setY(s.bottom() - h - 40);
        if (cursor.x() < s.left() + 8 + w / 2)
            pos.setX(s.left());
        if (cursor.y() < s.top() + 20 + h / 2)
            pos.setY(s.top());
    }
    return pos;
}
