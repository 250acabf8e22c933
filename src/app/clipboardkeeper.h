#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QMimeData;

// On X11 the clipboard's content lives in the process that set it.  When the
// run ends right after copying a path, link or picture, the content would
// vanish with the process unless a clipboard manager takes it over; Qt hands
// it to one when the desktop runs one, but bare window managers have none.
// Then a small detached keeper process (snaplark-clipboard-keeper, next to the
// program) takes the same content and serves it until another program takes
// the clipboard or the X server goes away.
namespace ClipboardKeeper {

// Called once, after the event loop has returned.  When this process still
// owns the clipboard on X11 and no clipboard manager is present, hands the
// content to the keeper and returns once the keeper owns the clipboard, or
// after a few seconds when it does not show up.  Does nothing otherwise.
void handOverIfNeeded();

// The keeper program's side: reads the content from contentFile (written by
// handOverIfNeeded), removes the file, puts the content on the clipboard and
// serves it while it stays there.  Needs a QGuiApplication on X11.  Returns the
// exit code.
int serve(const QString &contentFile);

// Full path of the keeper program, next to the running program.
QString keeperProgram();

// Whether a clipboard manager owns the CLIPBOARD_MANAGER selection.
bool clipboardManagerPresent();

// The content as it travels from the program to the keeper: every format of
// the mime data, the image as raw pixels.  decode returns nullptr for anything that
// encode did not write.
QByteArray encode(const QMimeData &data);
std::unique_ptr<QMimeData> decode(const QByteArray &bytes);

} // namespace ClipboardKeeper
