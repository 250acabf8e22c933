#include "core/frozendesktop.h"

#include <QByteArray>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>

namespace FrozenDesktop {

bool unpaintedWindowShowsDesktop()
{
    if (!QX11Info::isPlatformX11())
        return false;
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection)
        return false;
    // A compositing manager owns this selection while it runs (EWMH).
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(QX11Info::appScreen());
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, false, uint16_t(name.size()), name.constData()),
                              nullptr);
    if (!atom)
        return false;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    std::free(atom);
    if (!owner)
        return false;
    const bool composited = owner->owner != XCB_NONE;
    std::free(owner);
    return !composited;
}

} // namespace FrozenDesktop
