#include "settingsdialog/settingslogic.h"

#include "settings/settings.h"

#include <QCoreApplication>

namespace SettingsLogic {

const QVector<HotkeyKey> &hotkeyTable()
{
    static const QVector<HotkeyKey> table = [] {
        QVector<HotkeyKey> keys;
        for (int c = 'A'; c <= 'Z'; ++c)
            keys.append({c, QString(QChar(c))});
        for (int c = '0'; c <= '9'; ++c)
            keys.append({c, QString(QChar(c))});
        for (int f = 1; f <= 12; ++f)
            keys.append({0x6F + f, QStringLiteral("F%1").arg(f)});
        const char *const punctuation[] = {"+", ",", "-", ".", "/"};
        for (int i = 0; i < 5; ++i)
            keys.append({0xBB + i, QLatin1String(punctuation[i])});
        const QVector<HotkeyKey> named = {
            {0xBA, QStringLiteral(";")},        {0xDB, QStringLiteral("[")},
            {0xDD, QStringLiteral("]")},        {0xDC, QStringLiteral("\\")},
            {0xDE, QStringLiteral("'")},        {0xC0, QStringLiteral("~")},
            {0x1B, QStringLiteral("ESC")},      {0x0D, QStringLiteral("Enter")},
            {0x09, QStringLiteral("TAB")},      {0x14, QStringLiteral("CapsLck")},
            {0x2C, QStringLiteral("PrntScrn")}, {0x91, QStringLiteral("Scrllck")},
            {0x90, QStringLiteral("NumLck")},   {0x13, QStringLiteral("PauseBr")},
            {0x2D, QStringLiteral("Insert")},   {0x2E, QStringLiteral("Delete")},
            {0x24, QStringLiteral("Home")},     {0x23, QStringLiteral("End")},
            {0x21, QStringLiteral("PgUp")},     {0x22, QStringLiteral("PgDown")},
            {0x26, QStringLiteral("Up")},       {0x28, QStringLiteral("Down")},
            {0x25, QStringLiteral("Left")},     {0x27, QStringLiteral("Right")},
        };
        keys += named;
        return keys;
    }();
    return table;
}

int hotkeyIndex(int code)
{
    const QVector<HotkeyKey> &table = hotkeyTable();
    for (int i = 0; i < table.size(); ++i) {
        if (table.at(i).code == code)
            return i;
    }
    return -1;
}

int hotkeyCodeToStore(int index, int storedCode)
{
    const QVector<HotkeyKey> &table = hotkeyTable();
    // A code the table does not know came from elsewhere (an older or newer
    // tray program); it is the user's, so it stays.
    if (index < 0 || index >= table.size())
        return storedCode;
    return table.at(index).code;
}

HotkeyModifiers modifiersFromAttr(int attr)
{
    HotkeyModifiers modifiers;
    modifiers.win = attr & 1;
    modifiers.shift = attr & 2;
    modifiers.ctrl = attr & 4;
    modifiers.alt = attr & 8;
    return modifiers;
}

int attrFromModifiers(const HotkeyModifiers &modifiers)
{
    return 8 * int(modifiers.alt) + 4 * int(modifiers.ctrl) + 2 * int(modifiers.shift) + int(modifiers.win);
}

QVector<QPair<QString, int>> actionChoices()
{
    QVector<QPair<QString, int>> choices;
    for (int action = Settings::ActionRedactionDialog; action <= Settings::ActionSaveOnly; ++action)
        choices.append({Settings::actionLabel(action), action});
    return choices;
}

QVector<int> clipboardChoices(int action, bool allowDirectLink, bool saveLocal)
{
    QVector<int> choices;
    if (action == Settings::ActionOpenDefaultViewer || action == Settings::ActionSaveOnly)
        choices.append(Settings::ClipboardLocalPath);
    if (action == Settings::ActionRedactionDialog || action == Settings::ActionUpload) {
        choices.append(Settings::ClipboardWebPageUrl);
        if (allowDirectLink)
            choices.append(Settings::ClipboardDirectUrl);
        choices.append(Settings::ClipboardEmbedSite);
        choices.append(Settings::ClipboardEmbedForum);
        if (saveLocal)
            choices.append(Settings::ClipboardLocalPath);
    }
    choices.append(Settings::ClipboardBitmap);
    choices.append(Settings::ClipboardNone);
    return choices;
}

bool isMainProgram()
{
    // The main program names itself in its entry (Startup::run); a companion
    // keeps its own name.
    return QCoreApplication::applicationName() == QLatin1String("Snaplark");
}

QString loginToolTip()
{
    return QStringLiteral("Login and \nLogin with Google+ or Facebook");
}

QString loginStateText(const QString &authId, const QString &username)
{
    if (authId.isEmpty())
        return QStringLiteral("Not logged in. Please log in to upload files.");
    return QStringLiteral("You are logged in as %1").arg(username);
}

} // namespace SettingsLogic
