#pragma once

#include <QString>

// The overlay's greeting: "Hi, " and the account's name for a logged-in user,
// else the name alone (the store's "Log in" by default), as a link to the
// profile settings.
namespace UserLabel {

// The label's rich text.  The name comes from the service and is shown as
// text: any markup in it is escaped.
QString text(const QString &authId, const QString &username);

} // namespace UserLabel
