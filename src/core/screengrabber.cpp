#include "core/screengrabber.h"

#include <QGuiApplication>
#include <QMutex>
#include <QScreen>
#include <QX11Info>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <future>
#include <memory>
#include <system_error>
#include <vector>

namespace ScreenGrabber {

namespace {

xcb_screen_t *defaultScreen(xcb_connection_t *connection)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = QX11Info::appScreen(); it.rem && i > 0; --i)
        xcb_screen_next(&it);
    return it.rem ? it.data : nullptr;
}

xcb_visualtype_t *findVisual(xcb_screen_t *screen, xcb_visualid_t id)
{
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem; xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == id)
                return visuals.data;
        }
    }
    return nullptr;
}

int bitsPerPixel(xcb_connection_t *connection, uint8_t depth)
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats)) {
        if (formats.data->depth == depth)
            return formats.data->bits_per_pixel;
    }
    return 0;
}

// Only 32-bit pixels laid out like QImage::Format_RGB32 in host byte order are
// copied directly; anything else is left to Qt, which knows every format.
bool rootPixelsMatchRgb32(xcb_connection_t *connection, xcb_screen_t *screen)
{
    if (screen->root_depth != 24 && screen->root_depth != 32)
        return false;
    if (bitsPerPixel(connection, screen->root_depth) != 32)
        return false;
    const uint8_t hostOrder = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST
                                                              : XCB_IMAGE_ORDER_MSB_FIRST;
    if (xcb_get_setup(connection)->image_byte_order != hostOrder)
        return false;
    const xcb_visualtype_t *visual = findVisual(screen, screen->root_visual);
    return visual && visual->red_mask == 0xff0000 && visual->green_mask == 0xff00
           && visual->blue_mask == 0xff;
}

// A System V segment shared with the X server.
class SharedSegment
{
public:
    SharedSegment(xcb_connection_t *connection, size_t size)
        : m_connection(connection)
        , m_size(size)
    {
        const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (id < 0)
            return;
        void *address = shmat(id, nullptr, 0);
        if (address == reinterpret_cast<void *>(-1)) {
            shmctl(id, IPC_RMID, nullptr);
            return;
        }
        m_address = address;
        const xcb_shm_seg_t segment = xcb_generate_id(connection);
        xcb_generic_error_t *error =
            xcb_request_check(connection, xcb_shm_attach_checked(connection, segment, id, false));
        // Both sides are attached (or the server refused), so the id can go:
        // the kernel frees the memory once the last side detaches, which at
        // the latest happens when this process ends or its connection closes.
        shmctl(id, IPC_RMID, nullptr);
        if (error) {
            std::free(error);
            return;
        }
        m_segment = segment;
    }

    // The server's side is detached only while the connection it was made on
    // is the live one; a closed connection has released it already.
    ~SharedSegment()
    {
        if (m_segment && m_connection == QX11Info::connection()) {
            xcb_shm_detach(m_connection, m_segment);
            xcb_flush(m_connection);
        }
        if (m_address)
            shmdt(m_address);
    }

    SharedSegment(const SharedSegment &) = delete;
    SharedSegment &operator=(const SharedSegment &) = delete;

    bool isValid() const { return m_segment != 0; }
    bool fits(xcb_connection_t *connection, size_t size) const
    {
        return isValid() && m_connection == connection && m_size >= size;
    }
    xcb_shm_seg_t segment() const { return m_segment; }
    size_t size() const { return m_size; }
    xcb_connection_t *connection() const { return m_connection; }
    uchar *data() const { return static_cast<uchar *>(m_address); }

    // Maps every page of a fresh segment into this process in one call: on
    // virtual machines that fault slowly, taking the faults one by one as the
    // pixels are first touched costs about twice as long.  Best effort; later
    // uses of the segment find the pages mapped.
    void mapAll()
    {
        if (m_mapped)
            return;
        madvise(m_address, m_size, MADV_POPULATE_WRITE);
        m_mapped = true;
    }

private:
    xcb_connection_t *m_connection;
    size_t m_size;
    void *m_address = nullptr;
    xcb_shm_seg_t m_segment = 0;
    bool m_mapped = false;
};

// Grabs are handed out in the shared memory itself, which saves copying a
// whole desktop and touching fresh memory on every grab.  A segment comes back
// here when the last image or pixmap using it goes, and the next grab reuses
// it: the recorders grab many times.  The pool is never destroyed; see
// ~SharedSegment for why that is safe at exit.
class SegmentPool
{
public:
    static SegmentPool &instance()
    {
        static auto *pool = new SegmentPool;
        return *pool;
    }

    // A segment of at least this size, or nullptr when none can be made.
    std::unique_ptr<SharedSegment> take(xcb_connection_t *connection, size_t size)
    {
        std::unique_ptr<SharedSegment> found;
        std::vector<std::unique_ptr<SharedSegment>> stale;
        {
            QMutexLocker lock(&m_mutex);
            auto best = m_free.end();
            for (auto it = m_free.begin(); it != m_free.end(); ++it) {
                if ((*it)->fits(connection, size) && (best == m_free.end() || (*it)->size() < (*best)->size()))
                    best = it;
            }
            if (best != m_free.end()) {
                found = std::move(*best);
                m_free.erase(best);
            }
            // Segments of an earlier connection are of no use any more.
            for (auto it = m_free.begin(); it != m_free.end();) {
                if ((*it)->connection() != connection) {
                    stale.push_back(std::move(*it));
                    it = m_free.erase(it);
                } else {
                    ++it;
                }
            }
        }
        if (found)
            return found;
        auto created = std::make_unique<SharedSegment>(connection, size);
        return created->isValid() ? std::move(created) : nullptr;
    }

    void give(std::unique_ptr<SharedSegment> segment)
    {
        std::unique_ptr<SharedSegment> dropped;
        QMutexLocker lock(&m_mutex);
        m_free.push_back(std::move(segment));
        if (m_free.size() > kKeptSegments) {
            auto smallest = std::min_element(m_free.begin(), m_free.end(), [](const auto &a, const auto &b) {
                return a->size() < b->size();
            });
            dropped = std::move(*smallest);
            m_free.erase(smallest);
        }
    }

private:
    static constexpr size_t kKeptSegments = 2;
    QMutex m_mutex;
    std::vector<std::unique_ptr<SharedSegment>> m_free;
};

void returnSegment(void *segment)
{
    SegmentPool::instance().give(std::unique_ptr<SharedSegment>(static_cast<SharedSegment *>(segment)));
}

// A shared-memory grab whose request has gone to the server.
struct Request
{
    std::unique_ptr<SharedSegment> shared;
    xcb_shm_get_image_cookie_t cookie;
    QRect rect;
};

// Sends the request for rect; nullptr when MIT-SHM cannot serve it.
std::unique_ptr<Request> sendRequest(const QRect &rect)
{
    if (!QX11Info::isPlatformX11() || rect.isEmpty() || rect.width() > 0xffff || rect.height() > 0xffff)
        return nullptr;
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_shm_id);
    if (!extension || !extension->present)
        return nullptr;
    xcb_screen_t *screen = defaultScreen(connection);
    if (!screen || !rootPixelsMatchRgb32(connection, screen))
        return nullptr;
    if (!QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels).contains(rect))
        return nullptr;

    std::unique_ptr<SharedSegment> shared =
        SegmentPool::instance().take(connection, size_t(rect.width()) * 4 * size_t(rect.height()));
    if (!shared)
        return nullptr;
    const xcb_shm_get_image_cookie_t cookie =
        xcb_shm_get_image(connection, screen->root, int16_t(rect.x()), int16_t(rect.y()), uint16_t(rect.width()),
                          uint16_t(rect.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, shared->segment(), 0);
    xcb_flush(connection);
    return std::unique_ptr<Request>(new Request{std::move(shared), cookie, rect});
}

// Waits for the server's copy and hands the pixels out; null on failure.
QImage receive(std::unique_ptr<Request> request)
{
    SharedSegment &shared = *request->shared;
    xcb_generic_error_t *error = nullptr;
    xcb_shm_get_image_reply_t *reply = xcb_shm_get_image_reply(shared.connection(), request->cookie, &error);
    std::free(error);
    if (!reply)
        return QImage();
    const int width = request->rect.width();
    const int height = request->rect.height();
    const size_t rowBytes = size_t(width) * 4;
    const bool complete = reply->size >= rowBytes * size_t(height);
    std::free(reply);
    if (!complete)
        return QImage();

    shared.mapAll();
    // The server leaves the padding byte of depth-24 pixels (and the alpha of
    // a depth-32 root) undefined; the grab is opaque.
    quint32 *pixels = reinterpret_cast<quint32 *>(shared.data());
    const size_t count = size_t(width) * size_t(height);
    for (size_t i = 0; i < count; ++i)
        pixels[i] |= 0xff000000u;

    SharedSegment *segment = request->shared.release();
    return QImage(segment->data(), width, height, int(rowBytes), QImage::Format_RGB32, returnSegment, segment);
}

// A grab sent ahead.  Its pixels are made ready on a worker thread, so that
// the wait for the server and the first touch of the fresh memory overlap
// whatever the caller does meanwhile.
struct EarlyGrab
{
    QRect rect;
    std::future<QImage> image;
};

// Puts a grab in the one place for the grab sent ahead and returns the one it
// replaces.  Never destroyed, like the pool.
std::unique_ptr<EarlyGrab> exchangeEarlyGrab(std::unique_ptr<EarlyGrab> replacement)
{
    struct Slot
    {
        QMutex mutex;
        std::unique_ptr<EarlyGrab> grab;
    };
    static auto *slot = new Slot;
    QMutexLocker lock(&slot->mutex);
    std::swap(slot->grab, replacement);
    return replacement;
}

} // namespace

void sendEarly(const QRect &rect)
{
    std::unique_ptr<EarlyGrab> grab;
    if (std::unique_ptr<Request> request = sendRequest(rect)) {
        try {
            grab.reset(new EarlyGrab{rect, std::async(std::launch::async, receive, std::move(request))});
        } catch (const std::system_error &) {
            // No thread to spare: the next grab is made the ordinary way.
        }
    }
    // A replaced grab finishes before it goes, so its segment returns to the pool.
    exchangeEarlyGrab(std::move(grab));
}

QImage grabSharedMemory(const QRect &rect)
{
    if (std::unique_ptr<EarlyGrab> early = exchangeEarlyGrab(nullptr)) {
        QImage image = early->image.get();
        if (early->rect == rect)
            return image;
        // Pixels of another rectangle: dropped.
    }
    std::unique_ptr<Request> request = sendRequest(rect);
    return request ? receive(std::move(request)) : QImage();
}

QPixmap grabWithScreen(const QRect &rect)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QPixmap();
    // Qt takes logical pixels and scales them with the primary screen's
    // factor; the result is in device pixels either way.
    const qreal scale = screen->devicePixelRatio();
    const QRect logical(QPoint(int(std::floor(rect.left() / scale)), int(std::floor(rect.top() / scale))),
                        QPoint(int(std::ceil((rect.left() + rect.width()) / scale)) - 1,
                               int(std::ceil((rect.top() + rect.height()) / scale)) - 1));
    QPixmap pixmap = screen->grabWindow(0, logical.x(), logical.y(), logical.width(), logical.height());
    pixmap.setDevicePixelRatio(1.0);
    if (scale == 1.0 || pixmap.isNull())
        return pixmap;
    return pixmap.copy(rect.translated(-QPoint(qRound(logical.left() * scale), qRound(logical.top() * scale))));
}

QPixmap grab(const QRect &rect)
{
    QImage image = grabSharedMemory(rect);
    if (!image.isNull())
        return QPixmap::fromImage(std::move(image));
    return grabWithScreen(rect);
}

} // namespace ScreenGrabber
