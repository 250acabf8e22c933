#pragma once

#include <QString>
#include <QUrl>

// Where the Snaplark web service lives.  The environment variable
// SNAPLARK_SERVICE_URL overrides the address chosen when the program was built.
namespace ServiceConfig {

// The base address, always ending in "/".
QUrl baseUrl();

// "host" or "host:port" (the port only when it is not 80): the value of the
// "Host" header and the host part of every service address.
QString host();

// The base address with the given absolute path (and query) appended,
// e.g. url("/api/upload").
QUrl url(const QString &pathAndQuery);

} // namespace ServiceConfig
