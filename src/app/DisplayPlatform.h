#pragma once

#include <QByteArray>

#include <optional>

namespace pictomat {

// The display platform the tray starts on: the one given, else Qt's own
// choice where both sessions answer, else the one that does (a Wayland
// session whose XWayland refuses connections, an X session). Empty when the
// platform is Qt's to choose; nothing when no display can be reached (a
// shell over SSH), where QApplication would abort with a message about
// plugins.
std::optional<QByteArray> DisplayPlatform();

} // namespace pictomat
