#pragma once

#include <QString>
#include <QStringList>

// The persistent user settings.  Nothing is cached: every getter and setter
// opens the store, so a value written by one window is seen at once by every
// other window and by other running copies of the program.
namespace Settings {

// Action codes (DefAction, AltAction).
enum Action {
    ActionRedactionDialog = 0,
    ActionUpload = 1,
    ActionOpenDefaultViewer = 2,
    ActionSaveOnly = 3,
};

// Clipboard codes (DefClipboard, AltClipboard).
enum Clipboard {
    ClipboardWebPageUrl = 0,
    ClipboardDirectUrl = 1,
    ClipboardLocalPath = 2,
    ClipboardEmbedSite = 3,
    ClipboardEmbedForum = 4,
    ClipboardBitmap = 5,
    ClipboardNone = 6,
};

// Capture-mode codes (CaptureMode and capture requests).
enum CaptureMode {
    ModeScreenshot = 0,
    ModeVideo = 1,
    ModeGif = 2,
    ModeScroll = 3,
};

// The file extension of a capture made in the mode: pictures are PNG,
// recordings GIF, videos whatever the extension library writes.  Null for a
// code that names no mode.
QString captureExtension(int mode, const QString &videoExtension);

QString actionLabel(int action);
QString clipboardLabel(int clipboard);

int defAction();
void setDefAction(int value);
int altAction();
void setAltAction(int value);
int defClipboard();
void setDefClipboard(int value);
int altClipboard();
void setAltClipboard(int value);
int captureMode();
void setCaptureMode(int value);
int videoFileAction();
void setVideoFileAction(int value);
int videoFrameRate();
void setVideoFrameRate(int value);
bool soundEnable();
void setSoundEnable(bool value);
int hotkeyAttr();
void setHotkeyAttr(int value);
int hotkeyKey();
void setHotkeyKey(int value);
bool allowDirectLink();
bool flbEnabled();
void setFlbEnabled(bool value);
bool saveLocal();
void setSaveLocal(bool value);
bool trayEnabled();
void setTrayEnabled(bool value);
QString lastRequest();
void setLastRequest(const QString &value);
void setLastCapture(const QString &value);
QString username();
void setUsername(const QString &value);
QString authId();
void setAuthId(const QString &value);

// RectColor, TextColor, HighlightColor, LineColor, ArrowColor, in that order.
QStringList colors();
void setColors(const QStringList &colors);

// The current action pair: (DefAction, DefClipboard) when useDefault is true,
// otherwise (AltAction, AltClipboard).
void selectActions(bool useDefault);
int currentAction();
int currentClipboard();
void setCurrentAction(int action);
void setCurrentClipboard(int clipboard);

// AuthId scrambling; the step is its own inverse.
QString scramble(const QString &text, const QString &key);
QString unscramble(const QString &stored, const QString &key);

} // namespace Settings
