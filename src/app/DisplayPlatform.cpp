#include "app/DisplayPlatform.h"

#include "platform/Clipboard.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QString>

#include <xcb/xcb.h>

namespace pictomat {

namespace {

bool waylandPluginInstalled()
{
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/");
    return QFileInfo::exists(plugins + QStringLiteral("libqwayland-generic.so"));
}

bool xReachable()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    const bool reached = x && !xcb_connection_has_error(x);
    xcb_disconnect(x);
    return reached;
}

} // namespace

std::optional<QByteArray> DisplayPlatform()
{
    const QByteArray given = qgetenv("QT_QPA_PLATFORM");
    if (!given.isEmpty()) {
        const bool wantsX = given.startsWith("xcb");
        const bool wantsWayland = given.startsWith("wayland");
        if ((wantsX && !xReachable()) || (wantsWayland && !Clipboard::waylandSession()))
            return std::nullopt;
        return QByteArray();
    }
    const bool wayland = Clipboard::waylandSession() && waylandPluginInstalled();
    const bool x = xReachable();
    if (wayland && x)
        return QByteArray();
    if (wayland)
        return QByteArray("wayland");
    if (x)
        return QByteArray("xcb");
    return std::nullopt;
}

} // namespace pictomat
