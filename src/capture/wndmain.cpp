#include "capture/wndmain.h"

#include "core/appcontrol.h"
#include "core/serviceconfig.h"
#include "capture/capturecompletion.h"
#include "core/capturestate.h"
#include "capture/overlaylogic.h"
#include "core/screengeometry.h"
#include "capture/zoomframe.h"
#include "extension/extension.h"
#include "platform/platform.h"
#include "platform/processlauncher.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "ui/baseframe.h"
#include "ui/fixeddpi.h"
#include "ui/stylesheet.h"
#include "ui/toolframeplace.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr unsigned kSysCommand = 0x0112;
constexpr unsigned kMinimize = 0xF020;
constexpr unsigned kRestore = 0xF120;
const char kFloatingButton[] = "SnaplarkFloatingButton";

// The windows that receive the other kinds of capture arrive with their own
// work; until then their hand-over ends the run cleanly.
void handOverUnavailable(const char *window)
{
    qDebug("%s is not available in this build", window);
    AppControl::endRun(0);
}

QPushButton *toolButton(QWidget *parent, const char *name, const QRect &geometry, int iconSize,
                        const QString &image, const QString &toolTip)
{
    // The tool frame's picture carries the column's icons; only the close
    // button has an image of its own.
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFlat(true);
    button->setIconSize(QSize(iconSize, iconSize));
    button->setToolTip(toolTip);
    if (!image.isEmpty())
        button->setStyleSheet(QStringLiteral("background-image: url(%1); background-repeat: no-repeat; "
                                             "background-position: center; border: none;")
                                  .arg(image));
    return button;
}

QPushButton *modeButton(QWidget *parent, const char *name, int x, const QString &caption, int captionX,
                        Qt::Alignment captionAlignment = Qt::AlignHCenter)
{
    auto *button = toolButton(parent, name, QRect(x, 251, 60, 30), 32, QString(), QString());
    button->setCheckable(true);
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QStringLiteral("lbl") + QLatin1String(name + 3));
    label->setGeometry(captionX, 274, 71, 20);
    label->setAlignment(captionAlignment | Qt::AlignTop);
    QFont font = label->font();
    font.setPixelSize(9);
    label->setFont(font);
    return button;
}

} // namespace

WndMain::WndMain(CaptureRoutes routes)
    : QWidget(nullptr)
    , m_routes(std::move(routes))
{
    // The grab must not show the floating button: with one to minimise, the
    // screens are grabbed no earlier than they always were.  Without one the
    // server copies them while the form and the window are being made.
    if (!Extension::sendSignal(QLatin1String(kFloatingButton), kSysCommand, kMinimize, 0))
        ScreenGeometry::sendEarlyGrab();
    // Built first, while an early grab's pixels are still being made ready.
    buildForm();
    m_state = std::make_unique<CaptureState>(winId());
    m_zoom = new ZoomFrame(m_tool, m_state.get());
    m_zoom->setObjectName(QStringLiteral("zoomFrame"));
    m_zoom->setGeometry(12, 51, 186, 186);
    m_cursor = mapFromGlobal(QCursor::pos());
    m_zoom->setPosition(m_cursor.x(), m_cursor.y());
    m_tool->setCursor(Qt::ArrowCursor);

    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setGeometry(ScreenGeometry::virtualDesktopRect());
    setMouseTracking(true);
    m_zoom->setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    // The grab is painted over every pixel: no background to clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);

    StyleSheet::installApplicationSheet();

    m_tool->move(ToolFramePlace::lower(ScreenGeometry::primaryScreenInOverlay(), m_tool->size()));
    m_controlHeld = false;

    m_chbVideoMode->setChecked(false);
    m_chbVideoMode->setVisible(Extension::videoAvailable());

    m_lblUsername->setText(QStringLiteral("Not logged in"));
    Platform::applySystemProxyIfEnabled();

    if (m_tool->geometry().contains(m_cursor))
        m_tool->move(ToolFramePlace::dodge(m_tool->geometry(), m_cursor, ScreenGeometry::primaryScreenInOverlay()));

    connect(qApp, &QCoreApplication::aboutToQuit, this, &WndMain::beforeAppExit);
}

WndMain::~WndMain() = default;

void WndMain::buildForm()
{
    setObjectName(QStringLiteral("WndMain"));
    m_tool = new BaseFrame(this);
    m_tool->setObjectName(QStringLiteral("WndTool"));
    m_tool->resize(253, 390);
    // Pixel sizes: the frame's texts must fit its artwork on any display.
    QFont font = m_tool->font();
    font.setPixelSize(11);
    m_tool->setFont(font);
    m_tool->setStyleSheet(QStringLiteral(
        "QFrame#WndTool { background-image: url(:/resources/frmMain.png); background-repeat: no-repeat; }\n"
        "QPushButton { border: none; background: none; }\n"
        "QPushButton:checked { background-image: url(:/resources/chbModeSelect.png);"
        " background-position: center; background-repeat: no-repeat; }"));

    m_lblUsername = new QLabel(m_tool);
    m_lblUsername->setObjectName(QStringLiteral("lblUsername"));
    m_lblUsername->setGeometry(1, 14, 251, 31);
    m_lblUsername->setAlignment(Qt::AlignCenter);

    m_btnClose = toolButton(m_tool, "btnClose", QRect(232, 1, 20, 20), 24,
                            QStringLiteral(":/resources/btnClose.png"), QString());
    m_btnFullscreen = toolButton(m_tool, "btnFullscreen", QRect(207, 50, 39, 39), 32,
                                 QString(),
                                 QStringLiteral("!!!!!!!Full desktop capture"));
    m_btnActiveWindow = toolButton(m_tool, "btnActiveWindow", QRect(207, 100, 39, 39), 32,
                                   QString(),
                                   QStringLiteral("Active window capture"));
    m_btnSettings = toolButton(m_tool, "btnSettings", QRect(207, 150, 39, 39), 32,
                               QString(), QStringLiteral("Settings"));
    m_btnHelp = toolButton(m_tool, "btnHelp", QRect(207, 200, 39, 39), 32,
                           QString(), QStringLiteral("Help and feedback"));

    m_lblInfo = new QLabel(QStringLiteral("Mouse:"), m_tool);
    m_lblInfo->setObjectName(QStringLiteral("lblInfo"));
    m_lblInfo->setGeometry(10, 237, 239, 20);
    QFont infoFont = m_lblInfo->font();
    infoFont.setPixelSize(10);
    m_lblInfo->setFont(infoFont);

    m_chbImageMode = modeButton(m_tool, "chbImageMode", -4, QStringLiteral("Screenshot"), 3);
    m_chbGifMode = modeButton(m_tool, "chbGifMode", 63, QStringLiteral("Animated GIF"), 60);
    m_chbScrollMode = modeButton(m_tool, "chbScrollMode", 132, QStringLiteral("ScrollCapture"), 136);
    m_chbVideoMode = modeButton(m_tool, "chbVideoMode", 199, QStringLiteral("Video"), 174,
                                Qt::AlignRight); // its caption box starts left of the button
    m_chbImageMode->setChecked(true);
    // One exclusive group: clicking a mode checks it and unchecks the others;
    // clicking the checked one keeps it checked.
    m_modes = new QButtonGroup(this);
    for (QPushButton *button : {m_chbImageMode, m_chbGifMode, m_chbScrollMode, m_chbVideoMode})
        m_modes->addButton(button);
    m_modes->setExclusive(true);

    auto *hint = new QLabel(m_tool);
    hint->setObjectName(QStringLiteral("lblHint"));
    hint->setGeometry(10, 290, 231, 21);
    hint->setTextFormat(Qt::RichText);
    hint->setText(QStringLiteral("&lt;Control&gt; - hide, &lt;Escape&gt; - close, &lt;Alt&gt; - alt"));
    hint->setStyleSheet(QStringLiteral("color: rgb(121, 0, 0);"));
    QFont small = hint->font();
    small.setPixelSize(9);
    hint->setFont(small);

    connect(m_btnClose, &QPushButton::clicked, this, &WndMain::onCancelClick);
    connect(m_btnFullscreen, &QPushButton::clicked, this, &WndMain::onFullscreenClick);
    connect(m_btnActiveWindow, &QPushButton::clicked, this, &WndMain::onActiveWindowClick);
    connect(m_btnSettings, &QPushButton::clicked, this, &WndMain::onSettingsClick);
    connect(m_btnHelp, &QPushButton::clicked, this, &WndMain::onHelpClick);
    connect(m_chbImageMode, &QPushButton::clicked, this, &WndMain::onImageModeClicked);
    connect(m_chbGifMode, &QPushButton::clicked, this, &WndMain::onGifModeClicked);
    connect(m_chbScrollMode, &QPushButton::clicked, this, &WndMain::onScrollModeClicked);
    connect(m_chbVideoMode, &QPushButton::clicked, this, &WndMain::onVideoModeClicked);
}

QWidget *WndMain::toolFrame() const
{
    return m_tool;
}

int WndMain::currentMode() const
{
    if (m_chbVideoMode->isChecked())
        return Settings::ModeVideo;
    if (m_chbGifMode->isChecked())
        return Settings::ModeGif;
    if (m_chbScrollMode->isChecked())
        return Settings::ModeScroll;
    return Settings::ModeScreenshot;
}

// The group keeps exactly one mode checked; the slots exist for the
// buttons' own reactions.
void WndMain::onGifModeClicked() { m_chbGifMode->setChecked(true); }
void WndMain::onVideoModeClicked() { m_chbVideoMode->setChecked(true); }
void WndMain::onScrollModeClicked() { m_chbScrollMode->setChecked(true); }
void WndMain::onImageModeClicked() { m_chbImageMode->setChecked(true); }

bool WndMain::altHeld()
{
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
}

QRect WndMain::selection() const
{
    return OverlayLogic::selectionRect(m_press, m_cursor);
}

void WndMain::applyDodge()
{
    if (!m_controlHeld && !m_dragging)
        return;
    m_tool->move(ToolFramePlace::dodge(m_tool->geometry(), m_cursor, ScreenGeometry::primaryScreenInOverlay()));
}

void WndMain::collapse()
{
    setGeometry(-1, -1, 0, 0);
    update();
}

void WndMain::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control) {
        m_controlHeld = true;
        applyDodge();
    } else if (event->key() == Qt::Key_Escape) {
        close();
    }
}

void WndMain::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Control)
        m_controlHeld = false;
}

void WndMain::mousePressEvent(QMouseEvent *event)
{
    m_press = event->pos();
    m_cursor = event->pos();
    m_dragging = true;
    update();
}

void WndMain::mouseMoveEvent(QMouseEvent *event)
{
    const QRect before = selection();
    m_cursor = event->pos();
    m_zoom->setPosition(m_cursor.x(), m_cursor.y());
    applyDodge();

    const QString color = OverlayLogic::colorText(m_state->plainGrab(), m_cursor);
    m_lblInfo->setText(OverlayLogic::hintText(m_cursor, m_press, m_dragging, color));
    // Outside a drag the picture under the cursor does not change.
    if (m_dragging)
        update(OverlayLogic::selectionChange(before, selection()));
}

void WndMain::mouseReleaseEvent(QMouseEvent *event)
{
    m_release = event->pos();
    m_cursor = event->pos();
    m_dragging = false;
    const QRect area = selection();
    if (OverlayLogic::isClick(area)) {
        update();
        return;
    }
    m_state->setRequestRect(area);
    m_state->setRequestKind(CaptureState::Region);
    m_state->setRequestMode(currentMode());
    collapse();
    openEditorOrDispatch();
}

void WndMain::openEditorOrDispatch()
{
    const bool alt = altHeld();
    if (m_state->requestMode() == Settings::ModeScreenshot
        && (alt ? Settings::altAction() : Settings::defAction()) == Settings::ActionRedactionDialog) {
        Settings::setCurrentClipboard(alt ? Settings::altClipboard() : Settings::defClipboard());
        openScreenshotEditor();
        return;
    }
    dispatchCapture(m_state.get(), true);
}

void WndMain::openScreenshotEditor()
{
    if (!m_routes.screenshotEditor) {
        handOverUnavailable("Screenshot editor");
        return;
    }
    m_editor = m_routes.screenshotEditor(m_state.get(), this, [this](CaptureState *state, bool selectActions) {
        dispatchCapture(state, selectActions);
    });
    m_editor->show();
}

void WndMain::onActiveWindowClick()
{
    m_state->setRequestMode(currentMode());
    const QRect window = OverlayLogic::cutToWorkAreas(m_state->activeWindowRect(),
                                                      ScreenGeometry::screenRects(true, false));
    m_state->setRequestRect(window);
    m_state->setRequestKind(CaptureState::Region);
    openEditorOrDispatch();
    collapse();
}

void WndMain::onFullscreenClick()
{
    const int mode = currentMode();
    m_state->setRequestMode(mode);
    if (mode == Settings::ModeVideo) {
        m_state->setRequestKind(CaptureState::FullScreen);
        dispatchCapture(m_state.get(), true);
    } else if (mode == Settings::ModeGif || mode == Settings::ModeScroll) {
        m_state->setRequestRect(ScreenGeometry::fullRect());
        m_state->setRequestKind(CaptureState::Region);
        dispatchCapture(m_state.get(), true);
    } else {
        const bool alt = altHeld();
        if ((alt ? Settings::altAction() : Settings::defAction()) == Settings::ActionRedactionDialog) {
            m_state->setRequestRect(ScreenGeometry::fullRect());
            m_state->setRequestKind(CaptureState::Region);
            Settings::setCurrentClipboard(alt ? Settings::altClipboard() : Settings::defClipboard());
            openScreenshotEditor();
        } else {
            m_state->setRequestKind(CaptureState::FullScreen);
            dispatchCapture(m_state.get(), true);
        }
    }
    collapse();
}

void WndMain::dispatchCapture(CaptureState *state, bool selectActions)
{
    Settings::setCaptureMode(state->requestMode());
    if (selectActions)
        Settings::selectActions(!altHeld());

    switch (state->requestMode()) {
    case Settings::ModeScreenshot:
        if (state->requestKind() == CaptureState::ActiveWindow) {
            state->setRequestRect(state->activeWindowRect());
            state->setRequestKind(CaptureState::Region);
            dispatchCapture(state, selectActions);
        } else if (state->requestKind() == CaptureState::FullScreen) {
            completeScreenshot(state->plainGrab());
        } else {
            completeScreenshot(state->croppedGrab());
        }
        break;
    case Settings::ModeVideo:
        handOverUnavailable("Video recording");
        break;
    case Settings::ModeGif:
        handOverUnavailable("GIF recording");
        break;
    case Settings::ModeScroll:
        handOverUnavailable("Scrolling capture");
        break;
    default:
        break;
    }
}

void WndMain::onCancelClick()
{
    close();
}

void WndMain::onHelpClick()
{
    ProcessLauncher::instance().openUrl(ServiceConfig::url(QStringLiteral(
        "/category/manuals?utm_source=application&utm_medium=help-button&utm_campaign=snaplark&utm_content="
        SNAPLARK_VERSION)));
    close();
}

void WndMain::onSettingsClick()
{
    collapse();
    handOverUnavailable("Settings dialog");
}

void WndMain::beforeAppExit()
{
    Extension::sendSignal(QLatin1String(kFloatingButton), kSysCommand, kRestore, 0);
    Extension::createJumpMenu(QCoreApplication::applicationDirPath(),
                              QStringLiteral("file:///") + QDir::toNativeSeparators(CaptureFolder::path()));
}

void WndMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    AppControl::endRun(0);
}

int WndMain::metric(PaintDeviceMetric metric) const
{
    if (FixedDpi::isResolutionMetric(metric))
        return FixedDpi::dotsPerInch;
    return QWidget::metric(metric);
}

void WndMain::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QPixmap plain = m_state->plainGrab();
    if (!m_dragging) {
        for (const QRect &r : event->region())
            painter.drawPixmap(r, plain, r);
        // The dimmed backdrop is first needed when a drag begins; make it once
        // this picture is on screen rather than delaying the first paint.
        if (!m_dimmingScheduled && !m_state->hasDimmedGrab()) {
            m_dimmingScheduled = true;
            QTimer::singleShot(0, this, [this] { m_state->prepareDimmedGrab(); });
        }
        return;
    }

    const QPixmap dimmed = m_state->dimmedGrab();
    const QRect area = selection();
    const bool bright = area.width() >= 1 && area.height() >= 1;
    for (const QRect &r : event->region()) {
        painter.drawPixmap(r, dimmed, r);
        if (bright) {
            const QRect inside = r.intersected(area);
            if (!inside.isEmpty())
                painter.drawPixmap(inside, plain, inside);
        }
    }
    if (bright) {
        const int right = area.left() + area.width() - 1;
        const int bottom = area.top() + area.height() - 1;
        painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DashLine));
        const QPoint points[] = {{area.left(), area.top()}, {right + 1, area.top()}, {right + 1, bottom + 1},
                                 {area.left(), bottom + 1}, {area.left(), area.top()}};
        painter.drawPolyline(points, 5);
    }
}
