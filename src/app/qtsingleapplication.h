#pragma once

#include <QApplication>
#include <QLockFile>
#include <memory>

// The application object.  Only its question "is another instance running?"
// is used: the first instance of an executable holds a lock file, keyed on the
// executable's path, for its whole life.  A lock left by a process that died
// is taken over.
class QtSingleApplication : public QApplication
{
    Q_OBJECT
public:
    QtSingleApplication(int &argc, char **argv, bool guiEnabled = true);
    ~QtSingleApplication() override;

    bool isRunning() const { return !m_lock || !m_lock->isLocked(); }

    // The lock file for an executable path, in the temporary folder.
    static QString lockFilePath(const QString &executablePath);

private:
    std::unique_ptr<QLockFile> m_lock;
};
