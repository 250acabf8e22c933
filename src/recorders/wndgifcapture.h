#pragma once

#include "recorders/gifencoder.h"
#include "recorders/wndcapturedialog.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

class QTimer;
class WndCompleteCustom;

// The pure steps of a GIF recording's pictures.
namespace GifRecording {

// Paints the stamp at half opacity over the grab's bottom-right corner,
// clipped where the grab is smaller than the stamp.
void stamp(QImage *grab, const QImage &stampPicture);

// The closing frame: white, of the recording's size, with the picture scaled
// down (never up) to fit a square of the smallest of width, height and 512,
// centred.
QImage closingFrame(const QSize &size, const QImage &picture);

} // namespace GifRecording

// Records the framed region as a looping animated GIF: Start grabs it at a
// fixed rate, each grab stamped, writing only what changed; after the set
// duration, or Stop, a closing picture ends the file and the completion
// dialog decides what becomes of it.  Cancel and Esc discard the recording
// and end the run.
class WndGifCapture : public WndCaptureDialog
{
    Q_OBJECT

public:
    // region: in the overlay's coordinates, as for the base.  The file is
    // reserved in the captures folder now; when that fails the error has been
    // reported and the run is ending, and the window must not be shown.
    WndGifCapture(const QRect &region, int framesPerSecond, int duration, int keyFrameInterval, int ditherMode);
    ~WndGifCapture() override;

    bool isReady() const { return m_encoder.isOpen(); }
    QString path() const { return m_path; }

public slots:
    void TimerTick();

protected:
    void startCapture() override;
    void cancelCapture() override;
    // One grab of the region as it was at Start, in the screen's own pixels, RGB32.
    virtual QImage grabRegion() const;

private:
    QImage stampedGrab() const;
    void finish();
    // A write that failed: nothing is offered, the file goes, the run ends.
    void failRecording();

    const int m_framesPerSecond;
    const int m_duration;
    const int m_keyFrameInterval;
    QString m_path;
    GifEncoder m_encoder;
    QTimer *m_timer = nullptr;
    int m_tickCount = 0;
    bool m_ended = false; // finished, cancelled or failed: no tick or key acts any more
    QRect m_grabRect; // device pixels
    QSize m_size;
    QImage m_stamp;
    std::unique_ptr<WndCompleteCustom> m_complete;
};
