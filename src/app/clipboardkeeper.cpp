#include "app/clipboardkeeper.h"

#include "platform/processlauncher.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QMimeData>
#include <QPair>
#include <QTemporaryFile>
#include <QThread>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ClipboardKeeper {
namespace {

constexpr quint32 kMagic = 0x534c4342; // "SLCB"
constexpr qint32 kFormatVersion = 2;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_5_15;

// Long enough for a Qt program to start and connect to a loaded X server,
// short enough that a keeper that fails does not hold up the end for long.
constexpr int kHandOverTimeoutMs = 5000;
constexpr int kPollIntervalMs = 20;

// Qt keeps a picture in the mime data as an image object under this format;
// it travels separately, as pixels.
const QString kQtImageFormat = QStringLiteral("application/x-qt-image");

// Pictures travel as raw pixels: compressing a full-screen capture would
// take longer than the whole hand-over may.
void writeImage(QDataStream &out, const QImage &picture)
{
    const QImage image = picture.isNull() ? QImage()
        : picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    out << qint32(image.format()) << qint32(image.width()) << qint32(image.height())
        << QByteArray::fromRawData(reinterpret_cast<const char *>(image.constBits()), int(image.sizeInBytes()));
}

// False for pixels that do not match the picture's size: damaged content.
bool readImage(QDataStream &in, QImage *image)
{
    qint32 format = 0, width = 0, height = 0;
    QByteArray pixels;
    in >> format >> width >> height >> pixels;
    if (in.status() != QDataStream::Ok)
        return false;
    if (width == 0 && height == 0 && pixels.isEmpty()) {
        *image = QImage();
        return true;
    }
    if (width <= 0 || height <= 0 || (format != QImage::Format_ARGB32 && format != QImage::Format_RGB32))
        return false;
    QImage decoded(width, height, QImage::Format(format));
    if (decoded.isNull() || decoded.sizeInBytes() != pixels.size())
        return false;
    std::memcpy(decoded.bits(), pixels.constData(), size_t(pixels.size()));
    *image = decoded;
    return true;
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

xcb_window_t selectionOwner(const char *selection)
{
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection)
        return XCB_NONE;
    const xcb_atom_t selectionAtom = atom(connection, selection);
    if (selectionAtom == XCB_ATOM_NONE)
        return XCB_NONE;
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selectionAtom), nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_NONE);
    std::free(reply);
    return owner;
}

// Asks the X server directly rather than waiting for Qt to process the
// selection-clear event: the application's event loop has already ended and
// must not run the program's windows and timers again.
// From here on the program that started the keeper is gone; its terminal or
// the pipes of whoever started it must not be held open by the keeper.
void releaseStandardStreams()
{
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0)
        return;
    for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        ::dup2(null, stream);
    if (null > STDERR_FILENO)
        ::close(null);
}

bool waitUntilClipboardLeaves(xcb_window_t previousOwner)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < kHandOverTimeoutMs) {
        if (selectionOwner("CLIPBOARD") != previousOwner)
            return true;
        QThread::msleep(kPollIntervalMs);
    }
    return false;
}

} // namespace

QString keeperProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/snaplark-clipboard-keeper");
}

bool clipboardManagerPresent()
{
    return selectionOwner("CLIPBOARD_MANAGER") != XCB_NONE;
}

QByteArray encode(const QMimeData &data)
{
    QList<QPair<QString, QByteArray>> formats;
    for (const QString &format : data.formats()) {
        if (format != kQtImageFormat)
            formats.append(qMakePair(format, data.data(format)));
    }
    const QImage image = data.hasImage() ? qvariant_cast<QImage>(data.imageData()) : QImage();

    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << kMagic << kFormatVersion << formats;
    writeImage(out, image);
    return bytes;
}

std::unique_ptr<QMimeData> decode(const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(kStreamVersion);
    quint32 magic = 0;
    qint32 version = 0;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kFormatVersion)
        return nullptr;

    QList<QPair<QString, QByteArray>> formats;
    QImage image;
    in >> formats;
    if (!readImage(in, &image))
        return nullptr;

    auto data = std::make_unique<QMimeData>();
    for (const auto &format : qAsConst(formats))
        data->setData(format.first, format.second);
    if (!image.isNull())
        data->setImageData(image);
    return data;
}

void handOverIfNeeded()
{
    if (!QX11Info::isPlatformX11())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard() || clipboardManagerPresent())
        return;
    const QMimeData *data = clipboard->mimeData(QClipboard::Clipboard);
    if (!data || data->formats().isEmpty())
        return;

    // Removed on return: by then the keeper has read it, or is not coming.
    QTemporaryFile content(QDir::tempPath() + QStringLiteral("/snaplark-clipboard.XXXXXX"));
    const QByteArray bytes = encode(*data);
    if (!content.open() || content.write(bytes) != bytes.size() || !content.flush()) {
        qDebug("Clipboard keeper: cannot write the content file");
        return;
    }
    const QString contentFile = content.fileName();
    content.close();

    const xcb_window_t ourWindow = selectionOwner("CLIPBOARD");
    if (!ProcessLauncher::instance().startDetached(keeperProgram(), {contentFile})) {
        qDebug("Clipboard keeper could not be started: %s", qPrintable(keeperProgram()));
        return;
    }
    if (waitUntilClipboardLeaves(ourWindow))
        qDebug("Clipboard handed over to the keeper");
    else
        qDebug("Clipboard keeper did not take the clipboard in time");
}

int serve(const QString &contentFile)
{
    QFile file(contentFile);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug("Clipboard keeper: cannot read %s", qPrintable(contentFile));
        return 1;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    file.remove();

    std::unique_ptr<QMimeData> data = decode(bytes);
    if (!data) {
        qDebug("Clipboard keeper: damaged content in %s", qPrintable(contentFile));
        return 1;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data.release(), QClipboard::Clipboard);
    if (!clipboard->ownsClipboard())
        return 1;
    releaseStandardStreams();

    // Done as soon as another program owns the clipboard.  Qt itself ends the
    // process when the connection to the X server breaks.
    QObject::connect(clipboard, &QClipboard::changed, clipboard, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    return QGuiApplication::exec();
}

} // namespace ClipboardKeeper
