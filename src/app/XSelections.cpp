#include "app/XSelections.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace pictomat::XSelections {

namespace {

xcb_connection_t* connection()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    return c && !xcb_connection_has_error(c) ? c : nullptr;
}

// The owner of a selection, or nothing when the server cannot be asked.
std::optional<xcb_window_t> owner(xcb_connection_t* c, const QByteArray& name)
{
    const xcb_intern_atom_cookie_t atomCookie = xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(xcb_intern_atom_reply(c, atomCookie, nullptr),
                                                                        &std::free);
    if (!atom)
        return std::nullopt;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr), &std::free);
    if (!reply)
        return std::nullopt;
    return reply->owner;
}

int screenNumber()
{
    // ":0.1" names screen 1; the tray of the screen the program shows on.
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    return dot < 0 ? 0 : display.mid(dot + 1).toInt();
}

} // namespace

std::optional<bool> trayManagerPresent()
{
    xcb_connection_t* c = connection();
    if (!c)
        return std::nullopt;
    const std::optional<xcb_window_t> o = owner(c, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber()));
    if (!o)
        return std::nullopt;
    return *o != XCB_NONE;
}

std::optional<bool> clipboardOwnedHere()
{
    xcb_connection_t* c = connection();
    if (!c)
        return std::nullopt;
    const std::optional<xcb_window_t> o = owner(c, "CLIPBOARD");
    if (!o)
        return std::nullopt;
    // Every window this client makes has an id from its own range.
    const xcb_setup_t* setup = xcb_get_setup(c);
    return *o != XCB_NONE && (*o & ~setup->resource_id_mask) == setup->resource_id_base;
}

} // namespace pictomat::XSelections
