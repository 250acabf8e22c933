#pragma once

#include <QWidget>

class QIcon;
class QMenu;
class QSystemTrayIcon;
class TrayActions;

// The tray program's window: never shown, titled "SnaplarkTrayIcon" so the
// settings dialog can end the program with a close message when it applies
// the tray setting.  Holds the tray icon and its menu.
class WndTray : public QWidget
{
    Q_OBJECT

public:
    explicit WndTray(const TrayActions &actions, QWidget *parent = nullptr);

    // Tells the user something about the tray program once, as a balloon from
    // the icon when the desktop has a tray; always in the debug log.
    void notify(const QString &message);

    // The program's icon: the installed theme icon, else the bundled one.
    static QIcon programIcon();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    const TrayActions &m_actions;
    QMenu *m_menu = nullptr;
    QSystemTrayIcon *m_icon = nullptr;
};
