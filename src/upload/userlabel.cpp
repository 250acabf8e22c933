#include "upload/userlabel.h"

namespace UserLabel {

QString text(const QString &authId, const QString &username)
{
    const QString greeting = authId.isEmpty() ? QString() : QStringLiteral("Hi, ");
    return QStringLiteral("<html><head/><body><p><span style=\" text-decoration: none; color:#FFFFFF;\">")
        + greeting
        + QStringLiteral("</span><a href=\"1\"><span style=\" text-decoration: underline; color:#FFFFFF;\">")
        + username.toHtmlEscaped() + QStringLiteral("</span></a></p></body></html>");
}

} // namespace UserLabel
