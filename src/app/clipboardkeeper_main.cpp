#include "app/clipboardkeeper.h"

#include <QGuiApplication>

// snaplark-clipboard-keeper <content file>: serves the clipboard content that
// a finished run of the program left behind (see app/clipboardkeeper.h).
int main(int argc, char **argv)
{
    // The clipboard it keeps is the X11 one, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2)
        return 2;
    return ClipboardKeeper::serve(arguments.at(1));
}
