#include "ui/basedialog.h"

#include "core/appcontrol.h"
#include "core/screengeometry.h"
#include "ui/fixeddpi.h"
#include "ui/stylesheet.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPixmap>

namespace DialogPlacement {

QPoint centred(const QRect &screen, const QSize &size)
{
    // Offsets from the screen's own corner, so a primary screen that does not
    // start at the desktop origin still gets the dialog in its middle.
    return screen.topLeft()
        + QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2);
}

QPoint onPrimaryScreen(const QSize &size)
{
    return centred(ScreenGeometry::primaryScreenRect(), size);
}

} // namespace DialogPlacement

BaseDialog::BaseDialog(QWidget *parent)
    : QDialog(parent)
{
}

void BaseDialog::setupDialog(const QString &title, const QString &maskPath)
{
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    move(DialogPlacement::onPrimaryScreen(size()));
    StyleSheet::installApplicationSheet();

    const QBitmap shape = maskPath.isEmpty() ? QBitmap() : QPixmap(maskPath).mask();
    if (shape.isNull())
        clearMask();
    else
        setMask(shape);
}

void BaseDialog::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(event);
}

void BaseDialog::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release(event);
}

void BaseDialog::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint target = m_drag.moved(event, pos());
    if (target != pos())
        move(target);
}

void BaseDialog::keyPressEvent(QKeyEvent *event)
{
    // Other keys stay here, so Enter never fires a default button and Esc
    // never takes QDialog's reject path.
    if (event->key() == Qt::Key_Escape)
        close();
}

void BaseDialog::closeEvent(QCloseEvent *event)
{
    event->accept();
    AppControl::endRun(0);
}

int BaseDialog::metric(PaintDeviceMetric metric) const
{
    return FixedDpi::isResolutionMetric(metric) ? FixedDpi::dotsPerInch : QDialog::metric(metric);
}
