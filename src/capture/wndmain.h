#pragma once

#include "capture/captureroutes.h"

#include <QPoint>
#include <QUrl>
#include <QWidget>
#include <memory>

class Banner;
class BaseFrame;
class CaptureState;
class QButtonGroup;
class QLabel;
class QPushButton;
class ZoomFrame;

// The window of a capture run: covers the virtual desktop with the frozen
// grab, carries the tool frame, lets the user pick a region, the active window
// or the whole desktop, and hands the capture on.
class WndMain : public QWidget
{
    Q_OBJECT
public:
    // `routes` lead to the editors and recorders; tests that never leave the
    // overlay pass none.
    explicit WndMain(CaptureRoutes routes = {});
    ~WndMain() override;

    // Hands the state's request to completion, the editor or a recorder.
    // With selectActions set the current action pair is chosen anew (by the
    // Alt key); the editors pass false after setting it themselves.
    void dispatchCapture(CaptureState *state, bool selectActions);
    // dispatchCapture as the callback that editors and recorders hand back to.
    CaptureDispatch dispatcher();

    // The capture mode the mode buttons show.
    int currentMode() const;

    const CaptureState *captureState() const { return m_state.get(); }
    QWidget *toolFrame() const;

public slots:
    void onCancelClick();
    void onFullscreenClick();
    void onActiveWindowClick();
    void onHelpClick();
    void onSettingsClick();
    void onBannerClick(const QUrl &url);
    void onUsernameLinkActivated(const QString &text);
    void beforeAppExit();
    void onGifModeClicked();
    void onVideoModeClicked();
    void onScrollModeClicked();
    void onImageModeClicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    int metric(PaintDeviceMetric metric) const override;

private:
    void buildForm();
    void applyDodge();
    // Grabs the screens, if that is still to do, and lets the window paint.
    void showPicture();
    void collapse();
    // The action a finished screenshot gets: AltAction with Alt held.
    static bool altHeld();
    void openEditorOrDispatch();
    void openScreenshotEditor();
    // Runs the settings dialog on the tab with the overlay out of the way,
    // then greets the user anew and covers the desktop again.
    void openSettings(int tab);
    void refreshUserLabel();

    QRect selection() const;
    // The active window as a capture takes it; empty when there is none.
    QRect activeWindowArea() const;

    QPoint m_press;
    QPoint m_release;
    QPoint m_cursor;
    bool m_dragging = false;
    bool m_dimmingScheduled = false; // the dimmed backdrop is asked for once
    // Mapped before its picture: until then the window paints nothing.
    bool m_mapFirst = false;
    // Server time (X timestamp) by which the picture was on the screen; a
    // press before it was made without the tool frame in sight.
    unsigned long m_pictureShownAt = 0;
    bool m_pictureTimePending = false;
    bool m_toolHiddenForPress = false;
    std::unique_ptr<CaptureState> m_state;
    ZoomFrame *m_zoom = nullptr;
    CaptureRoutes m_routes;
    QWidget *m_editor = nullptr;
    std::unique_ptr<QWidget> m_recorder;
    bool m_controlHeld = false;

    BaseFrame *m_tool = nullptr;
    QLabel *m_lblUsername = nullptr;
    QLabel *m_lblInfo = nullptr;
    QPushButton *m_btnClose = nullptr;
    QPushButton *m_btnFullscreen = nullptr;
    QPushButton *m_btnActiveWindow = nullptr;
    QPushButton *m_btnSettings = nullptr;
    QPushButton *m_btnHelp = nullptr;
    QPushButton *m_chbImageMode = nullptr;
    QPushButton *m_chbGifMode = nullptr;
    QPushButton *m_chbScrollMode = nullptr;
    QPushButton *m_chbVideoMode = nullptr;
    QLabel *m_lblVideoMode = nullptr; // its caption, shown with it
    QButtonGroup *m_modes = nullptr;
    // The web engine is loaded after the first paint, off the launch path.
    Banner *m_banner = nullptr;
    bool m_bannerScheduled = false;
};
