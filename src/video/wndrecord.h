#pragma once

#include "ui/basedialog.h"

class QGraphicsView;
class QPushButton;
class QTimer;

// Where the recording window goes: the top-right corner of the primary
// screen, unless that would put it into the recorded region; then the first
// other corner outside it.  Over a region that leaves no corner free it stays
// at the top-right.
namespace RecordWindowPlace {
QPoint corner(const QRect &screen, const QSize &size, const QRect &recorded);
}

// The window that stays up while a video is recorded: a blinking Stop
// button, the only way to end the recording.  Close requests (Esc, the
// window manager) are ignored; Stop accepts the dialog.
class WndRecord : public BaseDialog
{
    Q_OBJECT
public:
    // recorded: the recorded region in desktop coordinates, logical pixels;
    // null when a window or the whole screen is recorded.
    explicit WndRecord(const QRect &recorded = QRect());

public slots:
    void updateIcon();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();

    QGraphicsView *m_icon = nullptr;
    QPushButton *m_btnStop = nullptr;
    QTimer *m_blink = nullptr;
    bool m_litIcon = false;
};
