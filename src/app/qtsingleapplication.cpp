#include "app/qtsingleapplication.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

QtSingleApplication::QtSingleApplication(int &argc, char **argv, bool guiEnabled)
    : QApplication(argc, argv, guiEnabled)
{
    m_lock = std::make_unique<QLockFile>(lockFilePath(applicationFilePath()));
    // Never stale by age: only a lock whose owner is gone is taken over.
    m_lock->setStaleLockTime(0);
    m_lock->tryLock(0);
}

QtSingleApplication::~QtSingleApplication() = default;

QString QtSingleApplication::lockFilePath(const QString &executablePath)
{
    const QString canonical = QFileInfo(executablePath).canonicalFilePath();
    const QByteArray key = (canonical.isEmpty() ? executablePath : canonical).toUtf8();
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16);
    return QDir(QDir::tempPath()).filePath(QStringLiteral("snaplark-%1.lock").arg(QString::fromLatin1(digest)));
}
