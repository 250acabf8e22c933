#include "settings/settings.h"

#include <QSettings>
#include <QTextCodec>

namespace Settings {
namespace {

const char kAuthKey[] = "Rb4XwK9mTq2L";

QVariant read(const char *key, const QVariant &fallback)
{
    QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
    return store.value(QLatin1String(key), fallback);
}

void write(const char *key, const QVariant &value)
{
    QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
    store.setValue(QLatin1String(key), value);
}

// Values that do not convert read as 0, so a damaged boolean reads as false.
int readInt(const char *key, int fallback) { return read(key, fallback).toInt(); }
bool readBool(const char *key, bool fallback) { return read(key, fallback ? 1 : 0).toInt() == 1; }
void writeBool(const char *key, bool value) { write(key, value ? 1 : 0); }
QString readText(const char *key, const QString &fallback) { return read(key, fallback).toString(); }

const char *const kColorKeys[] = {"RectColor", "TextColor", "HighlightColor", "LineColor", "ArrowColor"};
const char *const kColorDefaults[] = {"#000000", "#FF0000", "#FFFF00", "#FF0000", "#FF0000"};

int g_currentAction = 0;
int g_currentClipboard = 0;

QByteArray toLocal8(const QString &text) { return text.toLocal8Bit(); }

void xorWithKey(QByteArray &bytes, const QByteArray &key)
{
    for (int i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        for (int j = 0; j < key.size(); ++j)
            b ^= static_cast<unsigned char>(static_cast<unsigned char>(key[j]) + i * j);
        bytes[i] = static_cast<char>(b);
    }
}

} // namespace

QString captureExtension(int mode, const QString &videoExtension)
{
    switch (mode) {
    case ModeScreenshot:
    case ModeScroll:
        return QStringLiteral("png");
    case ModeGif:
        return QStringLiteral("gif");
    case ModeVideo:
        return videoExtension;
    default:
        return QString();
    }
}

QString actionLabel(int action)
{
    switch (action) {
    case ActionRedactionDialog: return QStringLiteral("Redaction dialog");
    case ActionUpload: return QStringLiteral("Upload and open in web browser");
    case ActionOpenDefaultViewer: return QStringLiteral("Open with default viewer");
    case ActionSaveOnly: return QStringLiteral("Save only");
    }
    return QString();
}

QString clipboardLabel(int clipboard)
{
    switch (clipboard) {
    case ClipboardWebPageUrl: return QStringLiteral("Web page url");
    case ClipboardDirectUrl: return QStringLiteral("Image/video direct url");
    case ClipboardLocalPath: return QStringLiteral("Local file path");
    case ClipboardEmbedSite: return QStringLiteral("Code for embed on site");
    case ClipboardEmbedForum: return QStringLiteral("Code for embed on forum");
    case ClipboardBitmap: return QStringLiteral("Bitmap (for images only)");
    case ClipboardNone: return QStringLiteral("None");
    }
    return QString();
}

int defAction() { return readInt("DefAction", 0); }
void setDefAction(int value) { write("DefAction", value); }
int altAction() { return readInt("AltAction", 1); }
void setAltAction(int value) { write("AltAction", value); }
int defClipboard() { return readInt("DefClipboard", 0); }
void setDefClipboard(int value) { write("DefClipboard", value); }
int altClipboard() { return readInt("AltClipboard", 5); }
void setAltClipboard(int value) { write("AltClipboard", value); }
int captureMode() { return readInt("CaptureMode", 0); }
void setCaptureMode(int value) { write("CaptureMode", value); }
int videoFileAction() { return readInt("VideoFileAction", 1); }
void setVideoFileAction(int value) { write("VideoFileAction", value); }
int videoFrameRate() { return readInt("VideoFrameRate", 10); }
void setVideoFrameRate(int value) { write("VideoFrameRate", value); }
bool soundEnable() { return readBool("SoundEnable", true); }
void setSoundEnable(bool value) { writeBool("SoundEnable", value); }
int hotkeyAttr() { return readInt("HotkeyAttr", 0); }
void setHotkeyAttr(int value) { write("HotkeyAttr", value); }
int hotkeyKey() { return readInt("HotkeyKey", 44); }
void setHotkeyKey(int value) { write("HotkeyKey", value); }
bool allowDirectLink() { return readBool("AllowDirectLink", false); }
bool flbEnabled() { return readBool("FLBEnabled", true); }
void setFlbEnabled(bool value) { writeBool("FLBEnabled", value); }
bool saveLocal() { return readBool("SaveLocal", true); }
void setSaveLocal(bool value) { writeBool("SaveLocal", value); }
bool trayEnabled() { return readBool("TrayEnabled", true); }
void setTrayEnabled(bool value) { writeBool("TrayEnabled", value); }
QString lastRequest() { return readText("LastRequest", QStringLiteral("2000-01-01T00:00:00")); }
void setLastRequest(const QString &value) { write("LastRequest", value); }
void setLastCapture(const QString &value) { write("LastCapture", value); }
QString username() { return readText("Username", QStringLiteral("Log in")); }
void setUsername(const QString &value) { write("Username", value); }
QString authId() { return unscramble(readText("AuthId", QString()), QLatin1String(kAuthKey)); }
void setAuthId(const QString &value) { write("AuthId", scramble(value, QLatin1String(kAuthKey))); }

QStringList colors()
{
    QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
    QStringList result;
    for (int i = 0; i < 5; ++i)
        result << store.value(QLatin1String(kColorKeys[i]), QLatin1String(kColorDefaults[i])).toString();
    return result;
}

void setColors(const QStringList &colors)
{
    QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
    for (int i = 0; i < 5 && i < colors.size(); ++i)
        store.setValue(QLatin1String(kColorKeys[i]), colors.at(i));
}

void selectActions(bool useDefault)
{
    if (useDefault) {
        g_currentAction = defAction();
        g_currentClipboard = defClipboard();
    } else {
        g_currentAction = altAction();
        g_currentClipboard = altClipboard();
    }
}

int currentAction() { return g_currentAction; }
int currentClipboard() { return g_currentClipboard; }
void setCurrentAction(int action) { g_currentAction = action; }
void setCurrentClipboard(int clipboard) { g_currentClipboard = clipboard; }

QString scramble(const QString &text, const QString &key)
{
    QByteArray bytes = toLocal8(text);
    xorWithKey(bytes, toLocal8(key));
    return QString::fromLatin1(bytes.toHex());
}

QString unscramble(const QString &stored, const QString &key)
{
    QByteArray bytes = QByteArray::fromHex(toLocal8(stored));
    xorWithKey(bytes, toLocal8(key));
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromLocal8Bit(bytes);
}

} // namespace Settings
