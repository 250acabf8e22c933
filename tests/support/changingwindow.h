#pragma once

#include <QRgb>
#include <QTimer>
#include <QVector>
#include <QWidget>

// The application being recorded: one solid colour after another, every
// 100 ms, faster than the recorders' ticks, so each tick sees a change.
// Unmanaged, exactly where it is put.
class ChangingWindow : public QWidget
{
public:
    ChangingWindow(const QRect &geometry, const QVector<QRgb> &colours);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QVector<QRgb> m_colours;
    QTimer m_timer;
    int m_phase = 0;
};
