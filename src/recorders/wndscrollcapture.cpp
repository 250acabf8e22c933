#include "recorders/wndscrollcapture.h"

#include "core/appcontrol.h"
#include "core/screengrabber.h"
#include "extension/extension.h"
#include "extension/hookmessage.h"
#include "ui/imagebutton.h"

#include <QDebug>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("SnaplarkScrollCapture");
constexpr int kFocusDelayMs = 10;
// The library passes a wheel turn on once the application has repainted, but
// a key as soon as it is pressed: the application repaints meanwhile.
constexpr int kKeySettleMs = 100;
constexpr unsigned kUpArrow = 0x26;
constexpr unsigned kDownArrow = 0x28;

const QString kSameMessage = QStringLiteral("Seems to be the same image.");
const QString kNoFitMessage =
    QStringLiteral("Sorry, image do not fit already captured zone, try to return a little bit back.\n"
                   "We can not capture videos, moving elements or scrollbars.");

} // namespace

WndScrollCapture::WndScrollCapture(const QRect &region, int rowsToVerify, int exactRunNeeded, double exactThreshold,
                                   double nearThreshold, EditorOpener openEditor)
    : WndCaptureDialog(region)
    , m_stitcher(ScrollSearch::Thresholds{rowsToVerify, exactRunNeeded, exactThreshold, nearThreshold})
    , m_openEditor(std::move(openEditor))
{
    setWindowTitle(kTitle);
    // an empty text, not none: the line keeps one height, empty or not
    m_messageLabel = new QLabel(QString(), panel());
    m_messageLabel->setMinimumWidth(400);
    m_messageLabel->setAlignment(Qt::AlignCenter);
    m_messageLabel->setStyleSheet(QStringLiteral("font : bold 14px; color : red"));
    progressBar()->hide();
    panelLayout()->addWidget(m_messageLabel);
    panelLayout()->activate();
    placePanel();
}

WndScrollCapture::~WndScrollCapture() = default;

QString WndScrollCapture::message() const
{
    return m_messageLabel->text();
}

void WndScrollCapture::setMessage(const QString &text)
{
    if (text == m_messageLabel->text())
        return;
    m_messageLabel->setText(text);
    // The panel's size follows the line; its layout must give up the
    // minimum size of a longer line first, or the panel would not shrink.
    panelLayout()->activate();
    placePanel();
}

QImage WndScrollCapture::grabRegion() const
{
    const QRect rect = regionInDevicePixels();
    const QImage shared = ScreenGrabber::grabSharedMemory(rect);
    if (!shared.isNull())
        return shared;
    return ScreenGrabber::grabWithScreen(rect).toImage().convertToFormat(QImage::Format_RGB32);
}

void WndScrollCapture::focusApplication() const
{
    // the window system's own pixels, as the library counts
    const QRect r = regionInDevicePixels();
    Extension::sendFocus((r.left() + r.right()) / 2, (r.top() + r.bottom()) / 2);
}

void WndScrollCapture::showEvent(QShowEvent *event)
{
    QTimer::singleShot(kFocusDelayMs, this, &WndScrollCapture::onWindowShowed);
    WndCaptureDialog::showEvent(event);
}

void WndScrollCapture::onWindowShowed()
{
    if (m_ended)
        return;
    focusApplication();
    placePanel();
}

void WndScrollCapture::startCapture()
{
    if (m_ended)
        return;
    if (isStarted()) {
        SaveImage();
        return;
    }
    styleImageButton(startButton(), startButton()->geometry(), QStringLiteral(":/resources/btnGifStop.png"),
                     startButton()->toolTip());
    RestartCapture();
    WndCaptureDialog::startCapture();
}

void WndScrollCapture::RestartCapture()
{
    m_stitcher.restart(grabRegion());
    setMessage(QString());
    // the Start button took the focus from the application
    focusApplication();
}

void WndScrollCapture::SaveImage()
{
    if (m_ended)
        return;
    m_ended = true;
    // hiding removes the hooks and the panel
    hide();
    m_picture = m_stitcher.image();
    // a tall picture is large: keep one copy of its rows
    m_stitcher.clear();
    if (m_openEditor)
        m_editor.reset(m_openEditor(&m_picture));
    else
        AppControl::endRun(0);
}

void WndScrollCapture::cancelCapture()
{
    if (m_ended)
        return;
    m_ended = true;
    WndCaptureDialog::cancelCapture();
    hide();
    AppControl::endRun(0);
}

void WndScrollCapture::match(int direction)
{
    if (m_ended || !isStarted())
        return;
    const ScrollSearch::Match found = m_stitcher.add(grabRegion(), direction);
    switch (found.outcome) {
    case ScrollSearch::Outcome::Same:
        qDebug("the same!");
        setMessage(kSameMessage);
        break;
    case ScrollSearch::Outcome::Found:
        setMessage(QString());
        qDebug("found");
        break;
    case ScrollSearch::Outcome::NoFit:
        setMessage(kNoFitMessage);
        break;
    }
}

bool WndScrollCapture::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    const auto hook = decodeHookMessage(eventType, message);
    if (!hook)
        return WndCaptureDialog::nativeEvent(eventType, message, result);
    if (hook->message == HookMessage::Mouse && hook->wParam == HookMessage::MouseWheel) {
        qDebug("MouseWheel");
        if (hook->lParam == HookMessage::WheelUp) {
            qDebug() << "Up" << hook->lParam;
            match(1);
        } else if (hook->lParam == HookMessage::WheelDown) {
            qDebug() << "Down" << hook->lParam;
            match(-1);
        }
    } else if (hook->message == HookMessage::Keystroke && (hook->wParam == kUpArrow || hook->wParam == kDownArrow)) {
        const bool up = hook->wParam == kUpArrow;
        qDebug() << (up ? "KeyUp" : "KeyDown") << hook->wParam;
        QTimer::singleShot(kKeySettleMs, this, [this, up] { match(up ? 2 : -2); });
    }
    // every other key, Esc included, is the scrolled application's
    *result = 0;
    return true;
}
