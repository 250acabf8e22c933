#pragma once

#include <QString>

// Where the web account's files live.  They are the user's own, so they go to
// the user's XDG folders rather than beside the program, which an installed
// program cannot write to.
namespace WebStorage {

// The banner's disk cache: $XDG_CACHE_HOME/Snaplark.
QString cacheDir();
// The copy of the last banner, shown when the service cannot be reached.
QString offlineBannerPath();
// The banner's persistent cookies: $XDG_DATA_HOME/Snaplark/cookies.ini.
QString cookieFilePath();

// Makes the folder, with any missing parents, where only its owner may look
// in; an existing folder is left as it is.  False when it cannot be made.
bool makePrivateFolder(const QString &path);

} // namespace WebStorage
