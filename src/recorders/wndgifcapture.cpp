#include "recorders/wndgifcapture.h"

#include "core/appcontrol.h"
#include "core/screengrabber.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "ui/fatalerror.h"
#include "ui/imagebutton.h"
#include "upload/wndcompletecustom.h"

#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("SnaplarkGifCapture");
constexpr int kClosingSideLimit = 512;
constexpr qreal kStampOpacity = 0.5;

} // namespace

namespace GifRecording {

void stamp(QImage *grab, const QImage &stampPicture)
{
    if (grab->isNull() || stampPicture.isNull())
        return;
    QPainter painter(grab);
    painter.setOpacity(kStampOpacity);
    painter.drawImage(QPoint(grab->width() - stampPicture.width(), grab->height() - stampPicture.height()),
                      stampPicture);
}

QImage closingFrame(const QSize &size, const QImage &picture)
{
    QImage frame(size, QImage::Format_RGB32);
    frame.fill(Qt::white);
    if (picture.isNull() || size.isEmpty())
        return frame;
    const int side = std::min({size.width(), size.height(), kClosingSideLimit});
    const QImage fitted = picture.width() > side || picture.height() > side
                              ? picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              : picture;
    QRect place(QPoint(), fitted.size());
    place.moveCenter(QPoint((size.width() - 1) / 2, (size.height() - 1) / 2));
    QPainter(&frame).drawImage(place.topLeft(), fitted);
    return frame;
}

} // namespace GifRecording

WndGifCapture::WndGifCapture(const QRect &region, int framesPerSecond, int duration, int keyFrameInterval,
                             int ditherMode)
    : WndCaptureDialog(region)
    , m_framesPerSecond(std::max(1, framesPerSecond))
    , m_duration(std::max(1, duration))
    , m_keyFrameInterval(std::max(1, keyFrameInterval))
    , m_encoder(m_framesPerSecond, ditherMode)
    , m_stamp(QStringLiteral("://resources/gifStamp.gif"))
{
    setWindowTitle(kTitle);
    m_path = CaptureFolder::newCaptureFileName(Settings::ModeGif);
    if (m_path.isEmpty())
        return; // reported by the captures folder
    if (!m_encoder.open(m_path)) {
        const QString error = m_encoder.errorString();
        m_encoder.abort(); // the reserved name goes with it
        m_ended = true;
        reportFatalError(error, true);
    }
}

WndGifCapture::~WndGifCapture() = default;

QImage WndGifCapture::grabRegion() const
{
    const QImage shared = ScreenGrabber::grabSharedMemory(m_grabRect);
    if (!shared.isNull())
        return shared;
    return ScreenGrabber::grabWithScreen(m_grabRect).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage WndGifCapture::stampedGrab() const
{
    QImage grab = grabRegion();
    GifRecording::stamp(&grab, m_stamp);
    return grab;
}

void WndGifCapture::startCapture()
{
    if (m_ended || !m_encoder.isOpen())
        return;
    if (isStarted()) {
        // Stop: the next tick is the last, and writes the closing picture.
        // The capture stays started, so the edges cannot be dragged before it.
        m_tickCount = std::max(m_tickCount, m_framesPerSecond * m_duration - 1);
        return;
    }
    WndCaptureDialog::startCapture();
    // The region is fixed from here on; every grab has the size of the first.
    m_grabRect = regionInDevicePixels();
    const QImage grab = stampedGrab();
    m_size = grab.size();
    if (!m_encoder.begin(m_size) || !m_encoder.addGrab(grab, true)) {
        failRecording();
        return;
    }
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &WndGifCapture::TimerTick);
    m_timer->start(1000 / m_framesPerSecond);
    styleImageButton(startButton(), startButton()->geometry(), QStringLiteral(":/resources/btnGifStop.png"),
                     startButton()->toolTip());
}

void WndGifCapture::TimerTick()
{
    if (m_ended || !isStarted())
        return;
    ++m_tickCount;
    const int ticks = m_framesPerSecond * m_duration;
    emit setProgress(std::min(100, m_tickCount * 100 / ticks));
    if (m_tickCount >= ticks) {
        finish();
        return;
    }
    if (!m_encoder.addGrab(stampedGrab(), m_tickCount % m_keyFrameInterval == 0))
        failRecording();
}

void WndGifCapture::finish()
{
    m_ended = true;
    m_timer->stop();
    const QImage closing =
        GifRecording::closingFrame(m_size, QImage(QStringLiteral("://resources/gifLastImage.gif")));
    // shown 1.6 s, as long as a frame after a second of skipped ticks
    if (!m_encoder.writeFrame(closing, QPoint(0, 0), m_framesPerSecond - 1) || !m_encoder.close()) {
        failRecording();
        return;
    }
    hide();
    // Lives with the recorder: after an Upload the modal run returns while
    // the upload goes on, and the upload ends the run.
    m_complete = std::make_unique<WndCompleteCustom>(m_path, Settings::ModeGif);
    AppControl::runModal(m_complete.get());
}

void WndGifCapture::failRecording()
{
    m_ended = true;
    if (m_timer)
        m_timer->stop();
    const QString error = m_encoder.errorString();
    m_encoder.abort();
    hide();
    reportFatalError(error.isEmpty() ? QStringLiteral("Cannot record the region") : error, true);
}

void WndGifCapture::cancelCapture()
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_timer)
        m_timer->stop();
    m_encoder.abort(); // whatever was written, and the reserved name
    WndCaptureDialog::cancelCapture();
    hide();
    AppControl::endRun(0);
}
