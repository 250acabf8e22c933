#pragma once

#include "recorders/scrollstitcher.h"
#include "recorders/wndcapturedialog.h"

#include <QImage>

#include <functional>
#include <memory>

class QLabel;

// Captures content taller than the screen: after Start, every wheel turn or
// Up/Down arrow key that the extension library's hooks report grabs the
// region again and stitches the rows that scrolled into view onto the
// picture.  A red line on the panel says when a grab does not fit.  Stop
// hands the picture to the editor; Cancel ends the run (Esc does not, the
// scrolled application may want it).
class WndScrollCapture : public WndCaptureDialog
{
    Q_OBJECT

public:
    // Opens the editor over the stitched picture, which stays this window's
    // and is painted into by the editor's Save; returns the editor's
    // top-level window, kept until this window goes.
    using EditorOpener = std::function<QWidget *(QImage *picture)>;

    // region: in the overlay's coordinates, as for the base.
    WndScrollCapture(const QRect &region, int rowsToVerify, int exactRunNeeded, double exactThreshold,
                     double nearThreshold, EditorOpener openEditor);
    ~WndScrollCapture() override;

    QString message() const;
    int stitchedHeight() const { return m_stitcher.height(); }

public slots:
    void SaveImage();
    void RestartCapture();
    void onWindowShowed();

protected:
    void startCapture() override;
    void cancelCapture() override;
    // One grab of the region, in the screen's own pixels.
    virtual QImage grabRegion() const;
    // A scroll reported by the hooks: direction < 0 when the content moved
    // up (wheel down, Down arrow), new rows at the bottom.
    void match(int direction);

    void showEvent(QShowEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

private:
    void setMessage(const QString &text);
    void focusApplication() const;

    QLabel *m_messageLabel = nullptr;
    ScrollStitcher m_stitcher;
    EditorOpener m_openEditor;
    bool m_ended = false;
    QImage m_picture; // the stitched picture once handed to the editor
    std::unique_ptr<QWidget> m_editor;
};
