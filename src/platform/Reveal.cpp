#include "platform/Reveal.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QFileInfo>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace pictomat {

namespace {
const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");

bool fileManagerServiceAvailable(const QDBusConnection& bus)
{
    QDBusConnectionInterface* iface = bus.interface();
    if (!iface)
        return false;
    if (iface->isServiceRegistered(kService).value())
        return true;
    const QDBusReply<QStringList> activatable = iface->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(kService);
}
// Whether the file manager behind the name is Thunar, by its process.
bool thunarProvides(const QDBusConnection& bus)
{
    const QDBusReply<uint> pid = bus.interface()->servicePid(kService);
    if (!pid.isValid())
        return false;
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid.value()));
    return comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed().toLower() == "thunar";
}

template <typename T>
using XReply = std::unique_ptr<T, decltype(&std::free)>;

QByteArray windowProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property)
{
    XReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
                               nullptr),
        &std::free);
    if (!reply)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// Thunar opens a new window at every ShowItems, even for a folder one of its
// windows shows already. On X, the window that shows the folder (titled after
// it) is brought forward instead; true when there was one.
bool raiseThunarWindowShowing(const FileRef& folder)
{
    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c(xcb_connect(nullptr, &screenNumber),
                                                                         &xcb_disconnect);
    if (!c || xcb_connection_has_error(c.get()))
        return false;
    const auto atom = [&](const char* name) {
        XReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(c.get(), xcb_intern_atom(c.get(), 0, uint16_t(std::strlen(name)), name), nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    const xcb_atom_t netName = atom("_NET_WM_NAME");
    const xcb_atom_t active = atom("_NET_ACTIVE_WINDOW");
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c.get()));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return false;
    const xcb_window_t root = screens.data->root;
    const QByteArray title = QFileInfo(QFile::decodeName(folder.path())).fileName().toUtf8() + " - Thunar";
    const auto isShowing = [&](xcb_window_t window) {
        const QList<QByteArray> names = windowProperty(c.get(), window, XCB_ATOM_WM_CLASS).split('\0');
        const bool thunar =
            std::any_of(names.begin(), names.end(), [](const QByteArray& n) { return n.toLower() == "thunar"; });
        if (!thunar)
            return false;
        const QByteArray name = windowProperty(c.get(), window, netName);
        return (name.isEmpty() ? windowProperty(c.get(), window, XCB_ATOM_WM_NAME) : name) == title;
    };
    // Top-level windows, and the clients a window manager framed.
    QList<xcb_window_t> candidates;
    XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c.get(), xcb_query_tree(c.get(), root), nullptr),
                                        &std::free);
    if (!tree)
        return false;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        candidates.append(children[i]);
        XReply<xcb_query_tree_reply_t> inner(
            xcb_query_tree_reply(c.get(), xcb_query_tree(c.get(), children[i]), nullptr), &std::free);
        if (!inner)
            continue;
        const xcb_window_t* framed = xcb_query_tree_children(inner.get());
        for (int k = 0; k < xcb_query_tree_children_length(inner.get()); ++k)
            candidates.append(framed[k]);
    }
    for (const xcb_window_t window : candidates) {
        XReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c.get(), xcb_get_window_attributes(c.get(), window), nullptr), &std::free);
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !isShowing(window))
            continue;
        xcb_client_message_event_t message = {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = active;
        message.data.data32[0] = 2; // from a pager: the user asked for it
        xcb_send_event(c.get(), 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(c.get());
        return true;
    }
    return false;
}

} // namespace

bool RevealInFileManager(const FileRef& item, Desktop& desktop)
{
    if (item.isEmpty())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && fileManagerServiceAvailable(bus)) {
        if (thunarProvides(bus) && raiseThunarWindowShowing(item.parent()))
            return true;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("ShowItems"));
        // The URI keeps every byte of the name percent-encoded, so quotes,
        // newlines and names that are not UTF-8 all arrive intact.
        call << QStringList{QString::fromLatin1(item.uri())} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    const FileRef folder = item.parent();
    if (folder.isEmpty())
        return false;
    return desktop.openUrl(folder.url());
}

} // namespace pictomat
