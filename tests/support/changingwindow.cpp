#include "changingwindow.h"

#include <QPainter>

ChangingWindow::ChangingWindow(const QRect &geometry, const QVector<QRgb> &colours)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    , m_colours(colours)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(geometry);
    m_timer.setInterval(100);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % m_colours.size();
        update();
    });
    m_timer.start();
}

void ChangingWindow::paintEvent(QPaintEvent *) { QPainter(this).fillRect(rect(), QColor(m_colours[m_phase])); }
