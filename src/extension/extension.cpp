#include "extension/extension.h"

#include "snaplarkextension.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QVector>

#include <memory>

namespace {

// The library functions, in the libraries' documented order.
struct FunctionTable
{
    GetActiveWindowRectFn getActiveWindowRect = nullptr;
    GetVideoFileExtensionFn getVideoFileExtension = nullptr;
    StartVideoCaptureFn startVideoCapture = nullptr;
    StopVideoCaptureFn stopVideoCapture = nullptr;
    IsVideoFileValidFn isVideoFileValid = nullptr;
    KillOldProcessesFn killOldProcesses = nullptr;
    SetHotkeyFn setHotkey = nullptr;
    CreateJumpMenuFn createJumpMenu = nullptr;
    SendSignalFn sendSignal = nullptr;
    SetHooksFn setHooks = nullptr;
    SendFocusFn sendFocus = nullptr;
};

struct LoadedLibraries
{
    std::unique_ptr<QLibrary> extension;
    std::unique_ptr<QLibrary> win7Extension;
    FunctionTable table;
    bool filled = false;
    QString folder; // empty: the executable's folder
};

LoadedLibraries &loaded()
{
    static LoadedLibraries libraries;
    return libraries;
}

template <typename Function>
Function lookUp(QLibrary &library, const char *name)
{
    return reinterpret_cast<Function>(library.resolve(name));
}

const FunctionTable &table()
{
    LoadedLibraries &libraries = loaded();
    if (libraries.filled)
        return libraries.table;
    libraries.filled = true;

    const QDir folder(libraries.folder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                 : libraries.folder);
    // by name, so QLibrary adds the platform's prefix and suffix
    libraries.extension = std::make_unique<QLibrary>(folder.filePath(QStringLiteral("Extension")));
    libraries.win7Extension =
        std::make_unique<QLibrary>(folder.filePath(QStringLiteral("Win7Extension")));
    QLibrary &extension = *libraries.extension;

    FunctionTable &t = libraries.table;
    t.getActiveWindowRect = lookUp<GetActiveWindowRectFn>(extension, "GetActiveWindowRect");
    t.getVideoFileExtension = lookUp<GetVideoFileExtensionFn>(extension, "GetVideoFileExtension");
    t.startVideoCapture = lookUp<StartVideoCaptureFn>(extension, "StartVideoCapture");
    t.stopVideoCapture = lookUp<StopVideoCaptureFn>(extension, "StopVideoCapture");
    t.isVideoFileValid = lookUp<IsVideoFileValidFn>(extension, "IsVideoFileValid");
    t.killOldProcesses = lookUp<KillOldProcessesFn>(extension, "KillOldProcesses");
    t.setHotkey = lookUp<SetHotkeyFn>(extension, "SetHotkey");
    t.createJumpMenu = lookUp<CreateJumpMenuFn>(*libraries.win7Extension, "CreateJumpMenu");
    t.sendSignal = lookUp<SendSignalFn>(extension, "SendSignal");
    t.setHooks = lookUp<SetHooksFn>(extension, "SetHooks");
    t.sendFocus = lookUp<SendFocusFn>(extension, "SendFocus");
    return t;
}

const char16_t *utf16(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.utf16());
}

} // namespace

bool Extension::getActiveWindowRect(QRect *rect, int *handle)
{
    int x = 0, y = 0, width = 0, height = 0, window = 0;
    const auto function = table().getActiveWindowRect;
    const bool found = function && function(&x, &y, &width, &height, &window);
    if (rect)
        *rect = found ? QRect(x, y, width, height) : QRect();
    if (handle)
        *handle = found ? window : 0;
    return found;
}

QString Extension::videoFileExtension()
{
    const auto function = table().getVideoFileExtension;
    if (!function)
        return QString();
    constexpr int capacity = 1000;
    QVector<char16_t> buffer(capacity, 0);
    function(buffer.data(), capacity);
    // a library that fills the buffer must not make us read past it
    buffer[capacity - 1] = 0;
    return QString::fromUtf16(buffer.constData());
}

bool Extension::startVideoCapture(bool fullScreen, const QRect &region, int windowHandle,
                                  const QString &path, int frameRate, bool sound)
{
    const auto function = table().startVideoCapture;
    return function
           && function(fullScreen ? 1 : 0, region.x(), region.y(), region.width(),
                       region.height(), windowHandle, utf16(path), frameRate, sound);
}

void Extension::stopVideoCapture()
{
    if (const auto function = table().stopVideoCapture)
        function();
}

void Extension::killOldProcesses()
{
    if (const auto function = table().killOldProcesses)
        function();
}

bool Extension::createJumpMenu(const QString &appDir, const QString &capturesUrl)
{
    const auto function = table().createJumpMenu;
    return function && function(utf16(appDir), utf16(capturesUrl));
}

bool Extension::sendSignal(const QString &windowName, unsigned msg, unsigned wParam,
                           unsigned lParam)
{
    const auto function = table().sendSignal;
    return function && function(utf16(windowName), msg, wParam, lParam);
}

bool Extension::setHooks(bool enable, const QString &windowTitle)
{
    const auto function = table().setHooks;
    return function && function(enable, 0, utf16(windowTitle));
}

bool Extension::sendFocus(int x, int y)
{
    const auto function = table().sendFocus;
    return function && function(x, y);
}

bool Extension::videoAvailable()
{
    const FunctionTable &functions = table();
    return functions.startVideoCapture && functions.stopVideoCapture;
}

void Extension::reloadForTesting(const QString &folder)
{
    LoadedLibraries &libraries = loaded();
    libraries.table = FunctionTable();
    if (libraries.extension)
        libraries.extension->unload();
    if (libraries.win7Extension)
        libraries.win7Extension->unload();
    libraries.extension.reset();
    libraries.win7Extension.reset();
    libraries.filled = false;
    libraries.folder = folder;
}
