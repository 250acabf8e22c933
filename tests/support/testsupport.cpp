#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QStandardPaths>

QString testScratchDir(const QString &name)
{
    const QString root = qEnvironmentVariable("SNAPLARK_TEST_HOME", QDir::tempPath());
    QDir dir(root + QStringLiteral("/scratch/") + name);
    dir.removeRecursively();
    QDir().mkpath(dir.path());
    return dir.path();
}

QString autostartEntry()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/Snaplark.desktop");
}

namespace Mouse {
namespace {
void send(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}
} // namespace

void press(QWidget *widget, const QPoint &pos)
{
    send(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}

void move(QWidget *widget, const QPoint &pos, bool buttonHeld)
{
    send(widget, QEvent::MouseMove, pos, Qt::NoButton, buttonHeld ? Qt::LeftButton : Qt::NoButton);
}

void release(QWidget *widget, const QPoint &pos)
{
    send(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

void drag(QWidget *widget, const QPoint &from, const QPoint &to, int steps)
{
    move(widget, from, false);
    press(widget, from);
    for (int i = 1; i <= steps; ++i)
        move(widget, from + (to - from) * i / steps, true);
    release(widget, to);
}
} // namespace Mouse
