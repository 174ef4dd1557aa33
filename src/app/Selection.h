#pragma once

#include "platform/FileRef.h"

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
SelectedItems AcquireFinderSelection();
// The script that would run (PICTOMAT_SELECTION_SCRIPT overrides it, for tests).
QString selectionScriptPath();
inline constexpr int kScriptTimeLimitMs = 2000;

// Records the files handed over by "pictomat select"/"pictomat menu" under
// $XDG_RUNTIME_DIR/pictomat/, where the shipped script finds them.
bool RecordHandedOverSelection(const QList<QByteArray>& localPathsOrUris, QString* error = nullptr);
QString handedOverSelectionFile();

} // namespace Selection

} // namespace pictomat
