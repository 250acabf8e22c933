#include "platform/platform.h"

#include <QNetworkProxyFactory>

// One backend per service for each system; a port adds its own files and a
// branch here.  Elsewhere the null backends keep the program working.
#if defined(Q_OS_UNIX)
#include "platform/filemanagerfreedesktop.h"
#include "platform/sessionautostartxdg.h"
#include "platform/systemproxyenvironment.h"
using FileManagerBackend = FileManagerFreedesktop;
using SessionAutostartBackend = SessionAutostartXdg;
using SystemProxyBackend = SystemProxyEnvironment;
#else
#include "platform/filemanagergeneric.h"
#include "platform/sessionautostartnull.h"
#include "platform/systemproxynull.h"
using FileManagerBackend = FileManagerGeneric;
using SessionAutostartBackend = SessionAutostartNull;
using SystemProxyBackend = SystemProxyNull;
#endif

namespace Platform {
namespace {

const SystemProxy &systemProxy()
{
    static const SystemProxyBackend backend{};
    return backend;
}

const FileManager &fileManager()
{
    static const FileManagerBackend backend{};
    return backend;
}

const SessionAutostart &sessionAutostart()
{
    static const SessionAutostartBackend backend{};
    return backend;
}

} // namespace

bool systemProxyEnabled()
{
    return systemProxy().enabled();
}

void applySystemProxyIfEnabled()
{
    if (systemProxyEnabled())
        QNetworkProxyFactory::setUseSystemConfiguration(true);
}

void showFileInFolder(const QString &path)
{
    fileManager().showFile(path);
}

bool setStartWithSession(const QString &entryName, const QString &programPath, bool enabled)
{
    return sessionAutostart().setEnabled(entryName, programPath, enabled);
}

bool isStartWithSessionEnabled(const QString &entryName)
{
    return sessionAutostart().isEnabled(entryName);
}

} // namespace Platform
