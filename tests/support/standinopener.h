#pragma once

#include <QProcessEnvironment>
#include <QString>

// The desktop's default handler (xdg-open) for the program runs of a test:
// a stand-in, first on their path, that records what it is asked to open.
class StandinOpener
{
public:
    // Writes the stand-in and its record below the folder.
    explicit StandinOpener(const QString &folder);
    bool isValid() const { return m_valid; }
    // The system's environment with the stand-in first on the path.
    QProcessEnvironment environment() const;
    // What it was asked to open so far, a line each.
    QString opened() const;
    void forget();

private:
    QString m_folder;
    bool m_valid = false;
};
