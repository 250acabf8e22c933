#include "platform/filemanagerfreedesktop.h"

#if defined(Q_OS_UNIX)

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDebug>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QX11Info>

namespace {

// A file manager that has to be started first needs a moment; one that has
// hung must not hold up the end of the run for the bus's 25 s default.
constexpr int kCallTimeoutMs = 3000;

// Under X11 a startup id carrying the time of the user's last input lets the
// window manager raise the file manager's window instead of refusing it focus.
QString startupId()
{
    if (!QX11Info::isPlatformX11())
        return QString();
    const unsigned long time = QX11Info::appUserTime() ? QX11Info::appUserTime() : QX11Info::appTime();
    if (time == 0)
        return QString();
    return QStringLiteral("snaplark%1_TIME%2").arg(QCoreApplication::applicationPid()).arg(time);
}

} // namespace

void FileManagerFreedesktop::showFile(const QString &path) const
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        // URIs travel percent-encoded, so spaces and non-ASCII names arrive intact.
        call << QStringList{QString::fromLatin1(QUrl::fromLocalFile(absolute).toEncoded())} << startupId();
        const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return;
        qDebug().noquote() << "File manager service failed:" << reply.errorName() << reply.errorMessage();
    } else {
        qDebug().noquote() << "No session bus:" << bus.lastError().message();
    }
    m_fallback.showFile(absolute);
}

#endif
