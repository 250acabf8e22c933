#include "upload/curlmulti.h"

#include <QPointer>
#include <QSocketNotifier>

#include <mutex>

struct CurlMulti::SocketWatch
{
    QSocketNotifier *read = nullptr;
    QSocketNotifier *write = nullptr;
};

namespace {

void release(QSocketNotifier *notifier)
{
    // Possibly inside its own activated signal: disabled now, gone later.
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
}

} // namespace

std::shared_ptr<CurlMulti> CurlMulti::create()
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return std::shared_ptr<CurlMulti>(new CurlMulti, [](CurlMulti *multi) { multi->deleteLater(); });
}

CurlMulti::CurlMulti()
{
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMulti::socketCallback);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMulti::timerCallback);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { socketAction(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    // Every transfer has left: each holds the handle while it runs.
    curl_multi_cleanup(m_multi);
}

bool CurlMulti::add(CURL *easy)
{
    // curl asks for a timeout of 0 ms, which starts the transfer.
    return curl_multi_add_handle(m_multi, easy) == CURLM_OK;
}

void CurlMulti::remove(CURL *easy)
{
    curl_multi_remove_handle(m_multi, easy);
}

int CurlMulti::socketCallback(CURL *, curl_socket_t socket, int what, void *self, void *watchPointer)
{
    auto *multi = static_cast<CurlMulti *>(self);
    auto *watch = static_cast<SocketWatch *>(watchPointer);
    if (what == CURL_POLL_REMOVE) {
        if (watch) {
            release(watch->read);
            release(watch->write);
            delete watch;
        }
        return 0;
    }
    if (!watch) {
        watch = new SocketWatch;
        curl_multi_assign(multi->m_multi, socket, watch);
    }
    const auto follow = [&](QSocketNotifier *&notifier, QSocketNotifier::Type type, bool wanted, int event) {
        if (!notifier && wanted) {
            notifier = new QSocketNotifier(qintptr(socket), type, multi);
            connect(notifier, &QSocketNotifier::activated, multi,
                    [multi, socket, event] { multi->socketAction(socket, event); });
        }
        if (notifier)
            notifier->setEnabled(wanted);
    };
    follow(watch->read, QSocketNotifier::Read, what & CURL_POLL_IN, CURL_CSELECT_IN);
    follow(watch->write, QSocketNotifier::Write, what & CURL_POLL_OUT, CURL_CSELECT_OUT);
    return 0;
}

int CurlMulti::timerCallback(CURLM *, long timeoutMs, void *self)
{
    auto *multi = static_cast<CurlMulti *>(self);
    // Never act from inside curl: a timeout of 0 runs from the event loop.
    if (timeoutMs < 0)
        multi->m_timeout.stop();
    else
        multi->m_timeout.start(int(qMin<long>(timeoutMs, 24 * 3600 * 1000)));
    return 0;
}

void CurlMulti::socketAction(curl_socket_t socket, int events)
{
    int running = 0;
    curl_multi_socket_action(m_multi, socket, events, &running);

    // A receiver may end its transfer, or delete itself later; the messages
    // are read first, then handed out.
    QList<QPair<CURL *, CURLcode>> ended;
    int queued = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &queued)) {
        if (message->msg == CURLMSG_DONE)
            ended.append({message->easy_handle, message->data.result});
    }
    const QPointer<CurlMulti> alive(this);
    for (const auto &end : qAsConst(ended)) {
        emit transferEnded(end.first, end.second);
        if (!alive)
            return;
    }
    emit worked();
}
