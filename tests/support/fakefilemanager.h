#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

// A file manager on the session bus (org.freedesktop.FileManager1) that
// records what it is asked to show.
class FakeFileManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    enum Behaviour { Answers, Fails, Hangs };
    explicit FakeFileManager(Behaviour behaviour);

    QStringList receivedUris() const;

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId);

private:
    const Behaviour m_behaviour;
    mutable QMutex m_mutex;
    QStringList m_uris;
};

// Owns the service name on its own connection and serves calls on its own
// thread, so a caller's blocking call really travels over the bus, also while
// the test itself is busy.
class FakeFileManagerService
{
public:
    explicit FakeFileManagerService(FakeFileManager::Behaviour behaviour = FakeFileManager::Answers);
    ~FakeFileManagerService();

    bool registered() const { return m_registered; }
    QStringList receivedUris() const { return m_object->receivedUris(); }

private:
    QThread m_thread;
    FakeFileManager *m_object;
    QDBusConnection m_connection;
    bool m_registered = false;
};
