#pragma once

#include <QDialog>

class QLabel;
class QTimer;

// The 3-2-1 before a recording starts: each digit 600 ms, then the dialog
// closes itself, which ends its modal run 1.8 s after it was opened.
class wndcountdown : public QDialog
{
    Q_OBJECT
public:
    wndcountdown();

    int counter() const { return m_counter; }

public slots:
    void TimerTick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateShape();

    QLabel *m_label = nullptr;
    QTimer *m_timer = nullptr;
    int m_counter = 3;
};
