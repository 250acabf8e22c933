#include "fakefilemanager.h"

#include <QDBusError>

namespace {
const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kObjectPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString kConnectionName = QStringLiteral("fake-file-manager");
} // namespace

FakeFileManager::FakeFileManager(Behaviour behaviour)
    : m_behaviour(behaviour)
{
}

QStringList FakeFileManager::receivedUris() const
{
    QMutexLocker lock(&m_mutex);
    return m_uris;
}

void FakeFileManager::ShowItems(const QStringList &uris, const QString &startupId)
{
    Q_UNUSED(startupId)
    {
        QMutexLocker lock(&m_mutex);
        m_uris += uris;
    }
    if (m_behaviour == Fails)
        sendErrorReply(QDBusError::Failed, QStringLiteral("cannot show the items"));
    else if (m_behaviour == Hangs)
        setDelayedReply(true); // and never reply
}

FakeFileManagerService::FakeFileManagerService(FakeFileManager::Behaviour behaviour)
    : m_object(new FakeFileManager(behaviour))
    , m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName))
{
    m_thread.start();
    m_object->moveToThread(&m_thread);
    m_registered = m_connection.registerObject(kObjectPath, m_object, QDBusConnection::ExportAllSlots)
                   && m_connection.registerService(kService);
}

FakeFileManagerService::~FakeFileManagerService()
{
    m_connection.unregisterService(kService);
    m_connection.unregisterObject(kObjectPath);
    QDBusConnection::disconnectFromBus(kConnectionName);
    m_thread.quit();
    m_thread.wait();
    delete m_object;
}
