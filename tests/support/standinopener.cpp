#include "standinopener.h"

#include <QDir>
#include <QFile>

StandinOpener::StandinOpener(const QString &folder)
    : m_folder(folder)
{
    QFile opener(m_folder + QStringLiteral("/standin/xdg-open"));
    m_valid = QDir().mkpath(m_folder + QStringLiteral("/standin")) && opener.open(QIODevice::WriteOnly)
              && opener.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >> '"
                              + QFile::encodeName(m_folder + QStringLiteral("/opened.txt")) + "'\n") > 0
              && opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QProcessEnvironment StandinOpener::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), m_folder + QStringLiteral("/standin:")
                                                   + environment.value(QStringLiteral("PATH")));
    return environment;
}

QString StandinOpener::opened() const
{
    QFile record(m_folder + QStringLiteral("/opened.txt"));
    return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll()) : QString();
}

void StandinOpener::forget() { QFile::remove(m_folder + QStringLiteral("/opened.txt")); }
