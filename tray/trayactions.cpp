#include "trayactions.h"

#include "platform/processlauncher.h"
#include "settings/capturefolder.h"

#include <QDebug>
#include <QDir>
#include <QUrl>

TrayActions::TrayActions(const QString &programFolder)
    : m_folder(programFolder)
{
}

QString TrayActions::program() const
{
    return QDir(m_folder).filePath(QStringLiteral("snaplark"));
}

bool TrayActions::capture() const
{
    return start({});
}

bool TrayActions::openSettings() const
{
    return start({QStringLiteral("/config")});
}

bool TrayActions::openCapturesFolder() const
{
    const QString folder = CaptureFolder::path();
    if (folder.isEmpty())
        return false;
    return ProcessLauncher::instance().openUrl(QUrl::fromLocalFile(folder));
}

bool TrayActions::start(const QStringList &arguments) const
{
    const bool started = ProcessLauncher::instance().startDetached(program(), arguments);
    if (!started)
        qDebug().noquote() << QStringLiteral("Cannot start %1").arg(program());
    return started;
}
