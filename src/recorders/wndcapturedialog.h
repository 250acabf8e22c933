#pragma once

#include "recorders/capturedialoglogic.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

#include <memory>

class QBoxLayout;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// The window the region recorders share: a 2-pixel frame just outside the
// capture region, transparent to the mouse inside it, whose edges can be
// dragged until the capture starts; and a floating panel with a thin
// progress bar and the Start and Cancel buttons, placed beside the region
// where there is room.
//
// While shown it has the extension library's keyboard and wheel hooks sent
// to its window title, so keys meant for the application under the region
// still reach the recorder; Esc cancels.  Subclasses set the title (the
// hooks find the window by it) and override startCapture() and
// cancelCapture(); a subclass that handles hook messages itself overrides
// nativeEvent() and passes on what it does not handle.
class WndCaptureDialog : public QWidget
{
    Q_OBJECT

public:
    // region: in the capture overlay's coordinates (the virtual desktop moved
    // to (0, 0)), logical pixels.  The panel is shown and hidden with the window.
    explicit WndCaptureDialog(const QRect &region);
    ~WndCaptureDialog() override;

    // The capture region on the desktop, logical pixels, inclusive edges.
    QRect region() const { return m_region; }
    // The same region in the screens' own (device) pixels, what a grab takes.
    QRect regionInDevicePixels() const;
    bool isStarted() const { return m_started; }

    QWidget *panel() const { return m_panel.get(); }
    QPushButton *startButton() const { return m_startButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

signals:
    // A percentage for the panel's progress bar.
    void setProgress(int percent);

public slots:
    void onButtonStartClick();
    void onButtonCancelClick();

protected:
    // The Start button; the base marks the capture as started, which ends
    // edge dragging.
    virtual void startCapture();
    // The Cancel button and Esc; the base marks the capture as not started.
    virtual void cancelCapture();
    // For a subclass whose capture ends otherwise (a Stop on the Start button).
    void setStarted(bool started) { m_started = started; }

    // Fits the frame window and its shape to the region.
    void updateFrameGeometry();
    // Places the panel on the side of the region with room; call again after
    // changing what the panel holds, since its size follows its contents.
    void placePanel();

    QProgressBar *progressBar() const { return m_progressBar; }
    // Progress bar, then the buttons; a subclass may add rows below them.
    QVBoxLayout *panelLayout() const { return m_panelLayout; }

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

private:
    void buildPanel();
    void setHooks(bool on);

    QRect m_region;
    std::unique_ptr<QWidget> m_panel;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_startButton = nullptr;
    QBoxLayout *m_buttonLayout = nullptr;
    QVBoxLayout *m_panelLayout = nullptr;
    QProgressBar *m_progressBar = nullptr;
    // Edge dragging: the edges held and where the press found pointer and region.
    CaptureDialogLogic::Edges m_held;
    QPoint m_pressPosition;
    QRect m_pressRegion;
    bool m_started = false;
    bool m_hooksOn = false;
};
