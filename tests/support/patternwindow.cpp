#include "patternwindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QtTest>

PatternWindow::PatternWindow(const QRect &geometry)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    , m_image(pattern(geometry.size()))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(geometry);
}

QImage PatternWindow::pattern(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            quint32 h = quint32(x) * 0x9E3779B1u ^ quint32(y) * 0x85EBCA77u;
            h ^= h >> 15;
            h *= 0x2C1B3C6Du;
            h ^= h >> 12;
            line[x] = 0xff000000u | (h & 0xffffffu);
        }
    }
    return image;
}

bool PatternWindow::showAndWait(int timeoutMs)
{
    show();
    const QRect area = geometry();
    return QTest::qWaitForWindowExposed(this, timeoutMs) && QTest::qWaitFor([&] {
               return QGuiApplication::primaryScreen()
                          ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                          .toImage()
                          .convertToFormat(QImage::Format_RGB32)
                      == m_image;
           }, timeoutMs);
}

void PatternWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}
