#include "capture/wndmain.h"

#include "core/appcontrol.h"
#include "core/serviceconfig.h"
#include "ui/fatalerror.h"
#include "capture/capturecompletion.h"
#include "core/capturestate.h"
#include "core/frozendesktop.h"
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
#include "upload/banner.h"
#include "upload/userlabel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVector>
#include <QWindow>
#include <QX11Info>

#include <limits>

namespace {

constexpr unsigned kSysCommand = 0x0112;
constexpr unsigned kMinimize = 0xF020;
constexpr unsigned kRestore = 0xF120;
const char kFloatingButton[] = "SnaplarkFloatingButton";
const char kActiveWindowTip[] = "Active window capture";
const char kNoActiveWindowTip[] = "No active window to capture";

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

QPushButton *modeButton(QWidget *parent, const char *name, int x, const QString &caption,
                        QVector<QLabel *> *captions)
{
    auto *button = toolButton(parent, name, QRect(x, 251, 60, 30), 32, QString(), QString());
    button->setCheckable(true);
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QStringLiteral("lbl") + QLatin1String(name + 3));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    captions->append(label);
    return button;
}

// The captions' design size, and the smallest they may shrink to where the
// font in use would otherwise run neighbouring captions together.
constexpr int kCaptionPixelSize = 9;
constexpr int kSmallestCaptionPixelSize = 7;
// Clear pixels kept between neighbouring captions and from the frame's edges.
constexpr int kCaptionGap = 4;

// Each caption centred under its button (whose icon the frame's picture
// draws there), in the largest size at which every caption fits its room.
void placeCaptions(const QVector<QPushButton *> &buttons, const QVector<QLabel *> &captions, int frameWidth)
{
    QVector<int> centres;
    for (const QPushButton *button : buttons)
        centres.append(button->x() + button->width() / 2);
    QFont font = captions.first()->font();
    QVector<int> widths, lefts;
    for (int size = kCaptionPixelSize; size >= kSmallestCaptionPixelSize && lefts.isEmpty(); --size) {
        font.setPixelSize(size);
        const QFontMetrics metrics(font);
        widths.clear();
        // One pixel more than the advance: antialiased glyphs may bleed into it.
        for (const QLabel *caption : captions)
            widths.append(metrics.horizontalAdvance(caption->text()) + 1);
        lefts = OverlayLogic::captionLefts(centres, widths, frameWidth, kCaptionGap);
    }
    // Should even the smallest size not fit, they stay centred under their buttons.
    for (int i = 0; i < captions.size(); ++i) {
        captions[i]->setFont(font);
        const int left = lefts.isEmpty() ? centres[i] - widths[i] / 2 : lefts[i];
        captions[i]->setGeometry(left, 274, widths[i], 20);
    }
}

} // namespace

WndMain::WndMain(CaptureRoutes routes)
    : QWidget(nullptr)
    , m_routes(std::move(routes))
{
    // Where an unpainted window shows the desktop, the window is mapped first
    // and the screens are grabbed once it is exposed: the desktop is frozen on
    // the screen from the map on, and the server's copy of a large desktop no
    // longer holds the map back.  The grab then still comes after the
    // floating button's minimise, as it always did.
    m_mapFirst = FrozenDesktop::unpaintedWindowShowsDesktop();
    // The grab must not show the floating button: with one to minimise, the
    // screens are grabbed no earlier than they always were.  Without one the
    // server copies them while the form and the window are being made.
    if (!Extension::sendSignal(QLatin1String(kFloatingButton), kSysCommand, kMinimize, 0) && !m_mapFirst)
        ScreenGeometry::sendEarlyGrab();
    // Built first, while an early grab's pixels are still being made ready.
    buildForm();
    // The active window is asked for now, before the overlay takes its place.
    m_state = std::make_unique<CaptureState>(
        winId(), m_mapFirst ? CaptureState::Grab::WhenFirstNeeded : CaptureState::Grab::Now);
    // Without an active window the button has nothing to capture: an empty
    // request must never become the whole desktop.
    const bool activeWindowKnown = !activeWindowArea().isEmpty();
    m_btnActiveWindow->setEnabled(activeWindowKnown);
    m_btnActiveWindow->setToolTip(QLatin1String(activeWindowKnown ? kActiveWindowTip : kNoActiveWindowTip));
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
    m_lblVideoMode->setVisible(Extension::videoAvailable());

    refreshUserLabel();
    Platform::applySystemProxyIfEnabled();

    m_banner = new Banner(m_tool, QRect(0, 310, 252, 80));
    connect(m_banner, &Banner::clicked, this, &WndMain::onBannerClick);

    if (m_tool->geometry().contains(m_cursor))
        m_tool->move(ToolFramePlace::dodge(m_tool->geometry(), m_cursor, ScreenGeometry::primaryScreenInOverlay()));

    connect(qApp, &QCoreApplication::aboutToQuit, this, &WndMain::beforeAppExit);

    if (m_mapFirst)
        m_pictureShownAt = std::numeric_limits<unsigned long>::max();
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
        // The frame's picture draws the icons; a disabled one is washed out.
        "QPushButton:disabled { background-color: rgba(255, 255, 255, 170); border-radius: 7px; }\n"
        "QPushButton:checked { background-image: url(:/resources/chbModeSelect.png);"
        " background-position: center; background-repeat: no-repeat; }"));

    m_lblUsername = new QLabel(m_tool);
    m_lblUsername->setObjectName(QStringLiteral("lblUsername"));
    m_lblUsername->setGeometry(1, 14, 251, 31);
    m_lblUsername->setAlignment(Qt::AlignCenter);
    m_lblUsername->setTextFormat(Qt::RichText);
    connect(m_lblUsername, &QLabel::linkActivated, this, &WndMain::onUsernameLinkActivated);

    m_btnClose = toolButton(m_tool, "btnClose", QRect(232, 1, 20, 20), 24,
                            QStringLiteral(":/resources/btnClose.png"), QString());
    m_btnFullscreen = toolButton(m_tool, "btnFullscreen", QRect(207, 50, 39, 39), 32,
                                 QString(),
                                 QStringLiteral("!!!!!!!Full desktop capture"));
    m_btnActiveWindow = toolButton(m_tool, "btnActiveWindow", QRect(207, 100, 39, 39), 32,
                                   QString(),
                                   QLatin1String(kActiveWindowTip));
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

    QVector<QLabel *> captions;
    m_chbImageMode = modeButton(m_tool, "chbImageMode", -4, QStringLiteral("Screenshot"), &captions);
    m_chbGifMode = modeButton(m_tool, "chbGifMode", 63, QStringLiteral("Animated GIF"), &captions);
    m_chbScrollMode = modeButton(m_tool, "chbScrollMode", 132, QStringLiteral("ScrollCapture"), &captions);
    m_chbVideoMode = modeButton(m_tool, "chbVideoMode", 199, QStringLiteral("Video"), &captions);
    placeCaptions({m_chbImageMode, m_chbGifMode, m_chbScrollMode, m_chbVideoMode}, captions, m_tool->width());
    m_lblVideoMode = captions.last();
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

void WndMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_mapFirst || m_state->hasPlainGrab())
        return;
    // Nothing, not even the tool frame, is drawn before the picture.  Only
    // from here on: windows made over the overlay inherit this setting.
    setUpdatesEnabled(false);
    windowHandle()->installEventFilter(this);
}

void WndMain::showPicture()
{
    if (updatesEnabled())
        return;
    m_state->plainGrab();
    setUpdatesEnabled(true);
    m_pictureTimePending = true;
}

bool WndMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != windowHandle())
        return QWidget::eventFilter(watched, event);
    // The screens are grabbed before Qt paints the exposed window.  Input that
    // came meanwhile waits in the queue and is handled over the picture.
    if (event->type() == QEvent::Expose && windowHandle()->isExposed())
        showPicture();
    // A press the user made before the picture (and the tool frame with it)
    // was on the screen was aimed at the desktop: it starts a selection there
    // rather than hitting a button nobody saw.
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->timestamp() < m_pictureShownAt && m_tool->isVisible()
            && m_tool->geometry().contains(press->pos())) {
            m_tool->hide();
            m_toolHiddenForPress = true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool WndMain::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Whatever the input does, it works on the picture the user saw.
        showPicture();
        break;
    default:
        break;
    }
    return QWidget::event(event);
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

    // The hint names the device pixel the loupe marks.
    const QString color = OverlayLogic::colorText(m_state->plainGrab(), m_state->toDevice(m_cursor));
    m_lblInfo->setText(OverlayLogic::hintText(m_cursor, m_press, m_dragging, color));
    // Outside a drag the picture under the cursor does not change.
    if (m_dragging)
        update(ScreenGeometry::repaintCovering(OverlayLogic::selectionChange(before, selection()), devicePixelRatioF()));
}

void WndMain::mouseReleaseEvent(QMouseEvent *event)
{
    m_release = event->pos();
    m_cursor = event->pos();
    m_dragging = false;
    if (m_toolHiddenForPress) {
        m_toolHiddenForPress = false;
        m_tool->show();
    }
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
    m_editor = m_routes.screenshotEditor(m_state.get(), this, dispatcher());
    m_editor->show();
}

CaptureDispatch WndMain::dispatcher()
{
    return [this](CaptureState *state, bool selectActions) { dispatchCapture(state, selectActions); };
}

QRect WndMain::activeWindowArea() const
{
    return OverlayLogic::cutToWorkAreas(m_state->activeWindowRect(), ScreenGeometry::screenRects(true, false));
}

void WndMain::onActiveWindowClick()
{
    const QRect window = activeWindowArea();
    if (window.isEmpty())
        return; // the button is disabled then; the overlay stays
    m_state->setRequestMode(currentMode());
    // Uncut, the window keeps its own device pixels, which a logical
    // rectangle cannot always reach on a scaled screen.
    if (window == m_state->activeWindowRect())
        m_state->setRequestRect(window, m_state->activeWindowDeviceRect());
    else
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
            state->setRequestRect(state->activeWindowRect(), state->activeWindowDeviceRect());
            state->setRequestKind(CaptureState::Region);
            dispatchCapture(state, selectActions);
        } else if (state->requestKind() == CaptureState::FullScreen) {
            completeScreenshot(state->plainGrab());
        } else {
            const QPixmap picture = state->croppedGrab();
            // An empty request holds no pixel; it is never the whole desktop.
            if (picture.isNull())
                reportFatalError(QStringLiteral("Nothing to capture: the selected area is empty"), true);
            else
                completeScreenshot(picture);
        }
        break;
    case Settings::ModeVideo:
        if (!m_routes.videoRecorder) {
            handOverUnavailable("Video recording");
            break;
        }
        m_recorder.reset(m_routes.videoRecorder(state, this, dispatcher()));
        break;
    case Settings::ModeGif:
        if (!m_routes.gifRecorder) {
            handOverUnavailable("GIF recording");
            break;
        }
        m_recorder.reset(m_routes.gifRecorder(state, this, dispatcher()));
        break;
    case Settings::ModeScroll:
        if (!m_routes.scrollRecorder) {
            handOverUnavailable("Scrolling capture");
            break;
        }
        m_recorder.reset(m_routes.scrollRecorder(state, dispatcher(), 100, 30, 1.0, 0.7));
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
    openSettings(0);
}

void WndMain::onUsernameLinkActivated(const QString &)
{
    openSettings(1);
}

void WndMain::openSettings(int tab)
{
    collapse();
    if (!m_routes.settings) {
        handOverUnavailable("Settings dialog");
        return;
    }
    m_routes.settings(this, tab);
    refreshUserLabel();
    setGeometry(ScreenGeometry::virtualDesktopRect());
}

void WndMain::refreshUserLabel()
{
    m_lblUsername->setText(UserLabel::text(Settings::authId(), Settings::username()));
}

void WndMain::onBannerClick(const QUrl &url)
{
    ProcessLauncher::instance().openUrl(url);
    AppControl::endRun(0);
}

void WndMain::beforeAppExit()
{
    Extension::sendSignal(QLatin1String(kFloatingButton), kSysCommand, kRestore, 0);
    // A proper file URL: the folder's name has a space, and may hold '%' or '#'.
    const QUrl captures = QUrl::fromLocalFile(QDir::fromNativeSeparators(CaptureFolder::path()));
    Extension::createJumpMenu(QCoreApplication::applicationDirPath(), captures.toString(QUrl::FullyEncoded));
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
    if (m_pictureTimePending) {
        // Asked once this paint has reached the server: the answer is a time
        // by which the picture was on the screen.
        m_pictureTimePending = false;
        QTimer::singleShot(0, this, [this] { m_pictureShownAt = QX11Info::getTimestamp(); });
    }
    if (!m_bannerScheduled) {
        m_bannerScheduled = true;
        QTimer::singleShot(50, m_banner, &Banner::bannerLoad);
    }
    QPainter painter(this);
    const QPixmap plain = m_state->plainGrab();
    if (!m_dragging) {
        for (const QRect &r : event->region())
            m_state->drawGrab(painter, plain, r);
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
        m_state->drawGrab(painter, dimmed, r);
        if (bright) {
            const QRect inside = r.intersected(area);
            if (!inside.isEmpty())
                m_state->drawGrab(painter, plain, inside);
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
