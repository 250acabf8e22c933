// The tray program: the tray icon with its menu, the global hotkey and the
// floating launch button, each starting the capture program beside it.
#include "hotkeywatcher.h"
#include "settings/settings.h"
#include "trayactions.h"
#include "wndfloatingbutton.h"
#include "wndtray.h"

#include <QApplication>
#include <QDebug>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

namespace {
// A tray program being replaced (the settings dialog closes it and starts a
// new one at once) ends within this time; one still there is a second copy.
constexpr int kReplaceWaitMs = 3000;
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // no window of ours is ever the last one: only Quit or the close message end the program
    app.setQuitOnLastWindowClosed(false);
    // "TrayEnabled" decides whether the settings dialog starts this program
    // and its autostart entry; started by hand (the menu entry), it runs.

    // one tray per user and display: a second icon and hotkey would only compete
    const QString display = QString::fromLocal8Bit(qgetenv("DISPLAY")).replace(QLatin1Char('/'), QLatin1Char('_'));
    QLockFile instance(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                       + QStringLiteral("/snaplarkTray%1.lock").arg(display));
    if (!instance.tryLock(kReplaceWaitMs)) {
        qDebug().noquote() << QStringLiteral("The Snaplark tray program is already running");
        return 0;
    }

    const TrayActions actions(QCoreApplication::applicationDirPath());
    WndTray tray(actions);

    HotkeyWatcher hotkey;
    QObject::connect(&hotkey, &HotkeyWatcher::triggered, [&actions] { actions.capture(); });
    QObject::connect(&hotkey, &HotkeyWatcher::active,
                     [](const QString &name) { qDebug().noquote() << QStringLiteral("Hotkey: %1").arg(name); });
    QObject::connect(&hotkey, &HotkeyWatcher::unavailable, &tray, &WndTray::notify);
    // read afresh on every start: applying the settings restarts this program
    hotkey.start(Settings::hotkeyKey(), Settings::hotkeyAttr());

    std::unique_ptr<WndFloatingButton> button;
    if (Settings::flbEnabled()) {
        button = std::make_unique<WndFloatingButton>(actions);
        button->show();
    }
    return app.exec();
}
