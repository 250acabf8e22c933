#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

class QWidget;

// Drives the X display as a user would, through the X tools (xdotool, xclip,
// xprop).  Every call lets the test's own event loop run while it waits, so
// windows and clipboard content of the test process stay served.
namespace Desktop {

// Runs an X tool; its standard output, or a null array when it failed or
// hung past the timeout.
QByteArray tool(const QString &program, const QStringList &arguments, int timeoutMs = 10000);

// Visible windows of a process, and visible windows with exactly this title.
QList<qulonglong> windowsOf(qint64 pid);
QList<qulonglong> windowsNamed(const QString &title);
// Waits for the first visible window of a process, or with a title; 0 when
// none showed up.
qulonglong waitForWindowOf(qint64 pid, int timeoutMs = 15000);
qulonglong waitForWindowNamed(const QString &title, int timeoutMs = 15000);
// The capture overlay of a process once it covers the screen; 0 when none did.
qulonglong waitForOverlay(qint64 pid);
// The window's rectangle on the screen (without window manager frame).
QRect windowGeometry(qulonglong window);

bool moveMouse(const QPoint &point);
bool click(const QPoint &point);
// Presses the left button at from, moves to to and releases there.  Keys in
// holdAtRelease (xdotool names such as "alt") are pressed just before the
// release and stay down until keyUp.
bool drag(const QPoint &from, const QPoint &to, const QStringList &holdAtRelease = QStringList());
bool keyUp(const QStringList &keys);
// Gives the window the keyboard focus and types the keys there.
bool keyInto(qulonglong window, const QString &keys);

// The clipboard's content in the given form (text when empty), as another
// program reads it.
QByteArray clipboard(const QString &target = QString());
// Takes the clipboard as a program would that the user just copied in;
// true once another program reads that text from it.
bool ownClipboard(const QString &text);

// A logical edge (the line before a pixel) on the screen at a scale factor,
// rounded half up: the rule every edge of a selection must follow.
int deviceEdge(int logical, qreal scale);
QPoint devicePoint(const QPoint &logical, qreal scale);
QRect deviceRect(const QRect &logical, qreal scale);
// A scale factor setting such as "QT_SCALE_FACTOR=2" (none: 1): its factor,
// and an environment for a run with it.
qreal scaleOf(const QString &scaling);
QProcessEnvironment scaled(QProcessEnvironment environment, const QString &scaling);
// The 1280 x 800 display as the program sees it at a scale factor.
QRect logicalScreen(qreal scale);

// The primary screen's rectangle, and its pixels as RGB32.
QRect screenRect();
QImage grabScreen();
// An image in the form the grabs compare in.
QImage rgb(const QImage &image);
QImage solid(const QSize &size, QRgb colour);
// The mean difference of two pictures of one size, per colour channel (0 to 255).
double meanDifference(const QImage &a, const QImage &b);
// Whether the screen shows the widget as a full repaint of it would (soon, the
// server may still be drawing): a widget that repaints only what changed must
// leave no stale pixels.
bool showsFullRepaint(QWidget *widget, int timeoutMs = 3000);

// The captures folder of the test's throw-away HOME.
QString capturesFolder();

} // namespace Desktop
