#pragma once

#include "files/FileRef.h"
#include "prefs/Preferences.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace pictomat {

// The file-manager selection. The provider is the selection script (data/selection
// beside the executable in the build tree, share/pictomat/selection once
// installed), run with a time limit at each menu build. It prints one item per
// line, a file:// URI or an absolute path.
namespace Selection {

// Runs the script and returns what it reported. No output, failure or time-out
// means no selection; a line naming nothing that exists is an empty entry.
// The script is told where the hand-over is, how long it lasts (the
// preference below, as `store` holds it) and when the clipboard last changed
// (nanoseconds since 1970, 0 for unknown), so that the more recent of the two
// wins. `clipboardFiles` names a file of the URIs of the files the clipboard
// holds, where the caller watches the clipboard; empty, the script asks it
// itself.
SelectedItems AcquireFinderSelection(prefs::PreferenceStore& store, qint64 clipboardChangedNs = 0,
                                     const QString& clipboardFiles = QString());
// The script that would run (PICTOMAT_SELECTION_SCRIPT overrides it, for tests).
QString selectionScriptPath();
// The script's time limit; a millisecond longer for each KiB of hand-over.
inline constexpr int kScriptTimeLimitMs = 2000;

// Records the files handed over by "pictomat select"/"pictomat menu" under
// $XDG_RUNTIME_DIR/pictomat/, where the shipped script finds them. Handing
// over nothing ("pictomat select --clear") ends the hand-over. More than
// kMaxHandedOverItems are cut, with a line in the system log.
bool RecordHandedOverSelection(const QList<QByteArray>& localPathsOrUris, QString* error = nullptr);
QString handedOverSelectionFile();
inline constexpr qsizetype kMaxHandedOverItems = 100000;

// How long a hand-over lasts, in seconds (0: until the next one or a clear).
inline constexpr const char* kExpiryKey = prefs::key::SelectionExpirySeconds;
qint64 handOverLifetimeSeconds(prefs::PreferenceStore& store);

} // namespace Selection

} // namespace pictomat
