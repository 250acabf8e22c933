#include "video/wndcountdown.h"

#include "ui/basedialog.h"

#include <QBitmap>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {
constexpr int kTickMs = 600;
}

wndcountdown::wndcountdown()
{
    setObjectName(QStringLiteral("wndcountdown"));
    resize(247, 300);
    setWindowTitle(QStringLiteral("CountDownDialog"));
    auto *layout = new QHBoxLayout(this);
    layout->setObjectName(QStringLiteral("horizontalLayout"));
    m_label = new QLabel(QStringLiteral("3"), this);
    m_label->setObjectName(QStringLiteral("label"));
    QFont font(QStringLiteral("Arial Black"), 150);
    font.setWeight(75);
    m_label->setFont(font);
    m_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_label);

    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    move(DialogPlacement::onPrimaryScreen(size()));

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    m_timer->setTimerType(Qt::PreciseTimer); // 1.8 s, not 5 % less
    connect(m_timer, &QTimer::timeout, this, &wndcountdown::TimerTick);
}

void wndcountdown::updateShape()
{
    // Without a compositor a translucent window is drawn opaque: the digit's
    // own shape keeps the box around it from covering the screen.
    QBitmap shape(size());
    shape.fill(Qt::color0);
    QPainter painter(&shape);
    painter.setPen(Qt::color1);
    painter.setFont(QFont(m_label->font(), this));
    painter.drawText(m_label->geometry(), Qt::AlignCenter, m_label->text());
    painter.end();
    setMask(shape);
}

void wndcountdown::showEvent(QShowEvent *event)
{
    updateShape();
    // counted from the moment it shows, not from its construction
    m_timer->start();
    QDialog::showEvent(event);
}

void wndcountdown::TimerTick()
{
    if (m_counter < 2) {
        m_timer->stop();
        close();
        return;
    }
    --m_counter;
    m_label->setText(QString::number(m_counter));
    updateShape();
}
