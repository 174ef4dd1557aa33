#pragma once

#include <optional>

namespace pictomat::XSelections {

// Selections of the X server the program runs on (the application's own
// connection), asked directly: Qt tells of neither a tray manager that
// appears later nor every way the clipboard can be lost. Nothing when the
// program does not run on X.

// Whether an XEmbed tray manager owns _NET_SYSTEM_TRAY_S<screen>.
std::optional<bool> trayManagerPresent();
// Whether the CLIPBOARD selection is owned by a window of this program.
std::optional<bool> clipboardOwnedHere();

} // namespace pictomat::XSelections
