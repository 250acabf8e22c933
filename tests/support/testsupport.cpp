#include "testsupport.h"

#include <QDir>

QString testScratchDir(const QString &name)
{
    const QString root = qEnvironmentVariable("SNAPLARK_TEST_HOME", QDir::tempPath());
    QDir dir(root + QStringLiteral("/scratch/") + name);
    dir.removeRecursively();
    QDir().mkpath(dir.path());
    return dir.path();
}
