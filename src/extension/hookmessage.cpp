#include "extension/hookmessage.h"

#include <QX11Info>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

// Interned once per process; the connection lives as long as the application.
xcb_atom_t windowMessageAtom()
{
    static xcb_atom_t atom = XCB_ATOM_NONE;
    if (atom != XCB_ATOM_NONE || !QX11Info::isPlatformX11())
        return atom;
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection)
        return atom;
    const char *name = SNAPLARK_WINDOW_MESSAGE_ATOM;
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    if (reply) {
        atom = reply->atom;
        std::free(reply);
    }
    return atom;
}

} // namespace

std::optional<HookMessage> decodeHookMessage(const QByteArray &eventType, void *message)
{
    if (!message)
        return std::nullopt;
    if (eventType != "xcb_generic_event_t")
        return std::nullopt;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    // the top bit only says the event came from SendEvent, which ours always do
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return std::nullopt;
    const auto *client = static_cast<const xcb_client_message_event_t *>(message);
    if (client->format != SNAPLARK_WINDOW_MESSAGE_FORMAT || client->type == XCB_ATOM_NONE
        || client->type != windowMessageAtom())
        return std::nullopt;
    return HookMessage{client->data.data32[SNAPLARK_WINDOW_MESSAGE_INDEX],
                       client->data.data32[SNAPLARK_WINDOW_WPARAM_INDEX],
                       client->data.data32[SNAPLARK_WINDOW_LPARAM_INDEX]};
}
