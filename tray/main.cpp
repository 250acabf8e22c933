// The tray program: the tray icon with its menu, the global hotkey and the
// floating launch button, each starting the capture program beside it.
#include "hotkeywatcher.h"
#include "settings/settings.h"
#include "trayactions.h"
#include "wndfloatingbutton.h"
#include "wndtray.h"

#include <QApplication>
#include <QDebug>

#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // no window of ours is ever the last one: only Quit or the close message end the program
    app.setQuitOnLastWindowClosed(false);
    if (!Settings::trayEnabled()) {
        qDebug().noquote() << QStringLiteral("The tray icon is off in the settings");
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
