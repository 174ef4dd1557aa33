#pragma once

#include "files/Error.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QMimeData;

namespace pictomat {

// The clipboard the user pastes from. In a Wayland session that is the
// compositor's, which a program without keyboard focus (the tray, a
// command-line run) may neither set nor read; wl-clipboard's wl-copy and
// wl-paste can, so they are used there, whatever Qt's own backend is (a
// picture set through XWayland would reach only X programs). Elsewhere, and
// where wl-clipboard is missing, Qt's clipboard.
namespace Clipboard {

// Whether this is a Wayland session, whose clipboard is the one that counts:
// a Wayland compositor's socket is at WAYLAND_DISPLAY.
bool waylandSession();

// Puts exactly one image/png entry holding `png` on the clipboard, then
// checks that the clipboard holds those bytes. False, with why, when it was
// refused or does not hold them: the caller must not report success.
bool setPng(const QByteArray& png, Error* error);

// What the clipboard holds now: its picture types, image data and file
// lists. Never null; empty when the clipboard holds nothing or cannot be read
// in time.
std::unique_ptr<QMimeData> contents();

// How long a wl-clipboard helper may take before it counts as not answering.
inline constexpr int kHelperTimeLimitMs = 3000;

} // namespace Clipboard

} // namespace pictomat
