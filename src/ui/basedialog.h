#pragma once

#include "ui/widgetdragger.h"

#include <QDialog>

// Base of every skinned dialog: frameless and on top, shaped by its
// background picture, centred on the primary screen, dragged by any point of
// its background, closed by Esc.  Closing one ends the run; accept(),
// reject() and done() only hide it.
class BaseDialog : public QDialog
{
    Q_OBJECT
public:
    explicit BaseDialog(QWidget *parent = nullptr);

    // Gives the dialog its look; subclasses call it once their form is built
    // (and again to replace the look of the class they derive from).  An
    // empty mask path, or a picture without transparent parts, leaves the
    // window rectangular.
    void setupDialog(const QString &title, const QString &maskPath);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    int metric(PaintDeviceMetric metric) const override;

private:
    WidgetDragger m_drag;
};

// Where the program's dialogs and questions go: the middle of the primary
// screen, which need not start at the desktop's origin.
namespace DialogPlacement {
// Top-left corner that centres a window of `size` on `screen`.
QPoint centred(const QRect &screen, const QSize &size);
// The same on the primary screen, in desktop coordinates.
QPoint onPrimaryScreen(const QSize &size);
} // namespace DialogPlacement
