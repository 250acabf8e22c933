#include "recorders/wndcapturedialog.h"

#include "core/screengeometry.h"
#include "extension/extension.h"
#include "extension/hookmessage.h"
#include "ui/imagebutton.h"

#include <QBoxLayout>
#include <QDebug>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace CaptureDialogLogic;

namespace {

constexpr Qt::WindowFlags recorderWindowFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
constexpr unsigned escapeKey = 0x1B; // the hook's virtual-key code
const QColor ringColour(0, 0, 255);
constexpr int panelMargin = 2;
const QSize buttonSize(110, 40);

} // namespace

WndCaptureDialog::WndCaptureDialog(const QRect &region)
    : QWidget(nullptr)
    , m_panel(new QWidget(nullptr, recorderWindowFlags))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    m_region = regionOnDesktop(region, ScreenGeometry::virtualDesktopRect());
    setWindowFlags(recorderWindowFlags);
    buildPanel();
    updateFrameGeometry();
    placePanel();
}

WndCaptureDialog::~WndCaptureDialog()
{
    // a recorder destroyed while shown gets no hide event of its own
    setHooks(false);
}

QRect WndCaptureDialog::regionInDevicePixels() const
{
    return CaptureDialogLogic::regionInDevicePixels(ScreenGeometry::currentLayout(), m_region);
}

void WndCaptureDialog::buildPanel()
{
    m_progressBar = new QProgressBar(m_panel.get());
    m_progressBar->setTextVisible(false);
    m_progressBar->setStyleSheet(QStringLiteral("QProgressBar {    border: 1px solid grey;    border-radius: 5px;}"
                                                "QProgressBar::chunk {    background-color: #8FCD35;    width: 4px;}"));
    m_progressBar->setMaximumHeight(6);
    m_progressBar->setMinimumSize(buttonSize.width(), 6);
    connect(this, &WndCaptureDialog::setProgress, m_progressBar, &QProgressBar::setValue);

    m_startButton = imageButton(m_panel.get(), "btnStart", QRect(QPoint(), buttonSize),
                                QStringLiteral(":/resources/btnGifStart.png"), tr("Start"));
    m_startButton->setFixedSize(buttonSize);
    connect(m_startButton, &QPushButton::clicked, this, &WndCaptureDialog::onButtonStartClick);
    m_cancelButton = imageButton(m_panel.get(), "btnCancel", QRect(QPoint(), buttonSize),
                                 QStringLiteral(":/resources/btnGifCancel.png"), tr("Cancel"));
    m_cancelButton->setFixedSize(buttonSize);
    connect(m_cancelButton, &QPushButton::clicked, this, &WndCaptureDialog::onButtonCancelClick);

    m_buttonLayout = new QBoxLayout(QBoxLayout::LeftToRight);
    m_buttonLayout->setContentsMargins(0, 0, 0, 0);
    // a row wider than the buttons keeps them together at the end nearest the frame's corner
    m_buttonLayout->addStretch();
    m_buttonLayout->addWidget(m_startButton);
    m_buttonLayout->addWidget(m_cancelButton);

    m_panelLayout = new QVBoxLayout(m_panel.get());
    m_panelLayout->setContentsMargins(panelMargin, panelMargin, panelMargin, panelMargin);
    m_panelLayout->addWidget(m_progressBar);
    m_panelLayout->addLayout(m_buttonLayout);

    // opaque: without a compositing manager a translucent window shows black
    m_panel->setObjectName(QStringLiteral("frmCapturePanel"));
    m_panel->setAttribute(Qt::WA_StyledBackground);
    m_panel->setStyleSheet(QStringLiteral("QWidget#frmCapturePanel { background-color: #f5f7fa; border: 1px solid %1; }")
                               .arg(ringColour.name()));
}

void WndCaptureDialog::onButtonStartClick() { startCapture(); }

void WndCaptureDialog::onButtonCancelClick() { cancelCapture(); }

void WndCaptureDialog::startCapture() { m_started = true; }

void WndCaptureDialog::cancelCapture() { m_started = false; }

void WndCaptureDialog::updateFrameGeometry()
{
    setGeometry(ringGeometry(m_region));
    setMask(ringMask(m_region));
    update();
}

void WndCaptureDialog::placePanel()
{
    // the layout without the live functions' log lines: this runs on every drag step
    const PanelPlace place = CaptureDialogLogic::placePanel(m_region, ScreenGeometry::currentLayout(), [this](PanelSide side) {
        // the progress bar on the side nearest the region, or on top beside it
        m_panelLayout->setDirection(side == PanelSide::Above ? QBoxLayout::BottomToTop : QBoxLayout::TopToBottom);
        m_buttonLayout->setDirection(panelIsColumn(side) ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
        return m_panel->sizeHint();
    });
    m_panel->setGeometry(place.rect);
}

void WndCaptureDialog::setHooks(bool on)
{
    if (on == m_hooksOn)
        return;
    // without the library the window works with its buttons alone
    Extension::setHooks(on, windowTitle());
    m_hooksOn = on;
}

void WndCaptureDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressPosition = event->globalPos();
    m_pressRegion = m_region;
    m_held = m_started ? Edges() : edgesAt(m_region, m_pressPosition);
}

void WndCaptureDialog::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_held = Edges();
}

void WndCaptureDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (m_held.any() && !m_started) {
        const QRect dragged = dragEdges(m_pressRegion, m_held, m_pressPosition, event->globalPos());
        if (dragged != m_region) {
            m_region = dragged;
            updateFrameGeometry();
            placePanel();
        }
        return;
    }
    setCursor(m_started ? Qt::ArrowCursor : cursorFor(edgesAt(m_region, event->globalPos())));
}

void WndCaptureDialog::paintEvent(QPaintEvent *)
{
    // the mask leaves only the ring of the window to paint
    QPainter painter(this);
    painter.fillRect(rect(), ringColour);
}

void WndCaptureDialog::showEvent(QShowEvent *event)
{
    setHooks(true);
    placePanel();
    m_panel->show();
    QWidget::showEvent(event);
}

void WndCaptureDialog::hideEvent(QHideEvent *event)
{
    // a recorder that has finished must no longer hear the user's keys
    setHooks(false);
    m_panel->hide();
    QWidget::hideEvent(event);
}

bool WndCaptureDialog::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    if (const auto hook = decodeHookMessage(eventType, message)) {
        if (hook->message == HookMessage::Keystroke) {
            qDebug() << "Keystroke" << hook->wParam;
            if (hook->wParam == escapeKey)
                cancelCapture();
        }
        // this window is the messages' only receiver; Qt would warn about each one
        *result = 0;
        return true;
    }
    return QWidget::nativeEvent(eventType, message, result);
}
