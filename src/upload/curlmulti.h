#pragma once

#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <memory>

// One libcurl multi handle driven by the Qt event loop of its thread: curl
// names the sockets it waits on and the next timeout, socket notifiers and a
// timer hand the events back.  Transfers run without a thread of their own,
// and curl's callbacks only run inside socketAction(), never nested in a
// signal of ours.
//
// Shared by its network manager and every transfer it carries, so neither
// may outlive the handle the other still uses; it is deleted from the event
// loop, never inside one of its own slots.
class CurlMulti : public QObject
{
    Q_OBJECT
public:
    static std::shared_ptr<CurlMulti> create();
    ~CurlMulti() override;

    // The transfer runs from the event loop on; transferEnded tells its end.
    bool add(CURL *easy);
    // Stops a transfer; nothing more is reported for it.
    void remove(CURL *easy);

signals:
    // Emitted after curl has worked, outside its callbacks: transfers may
    // look at their counters and report.
    void worked();
    // A transfer is complete: its result.  It is still in the multi handle.
    void transferEnded(CURL *easy, CURLcode result);

private:
    struct SocketWatch;

    CurlMulti();
    static int socketCallback(CURL *easy, curl_socket_t socket, int what, void *self, void *watch);
    static int timerCallback(CURLM *multi, long timeoutMs, void *self);
    void socketAction(curl_socket_t socket, int events);

    CURLM *m_multi = nullptr;
    QTimer m_timeout;
};
