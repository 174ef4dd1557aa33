#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace pictomat {

namespace prefs {
class PreferenceStore;
}

// "pictomat run COMMAND [FILE...]": one command on the files, without a menu,
// through the same dispatcher. Operands start after "run", as the shell gave
// them, with "-alpha VALUE" already taken out; every word after "--" is a
// file. Returns 0 when no alert was shown and every output was written, 1
// otherwise (the outputs that failed are named on standard error), 2 for
// usage errors. argc/argv are for creating the application object; the
// command reads its settings from `preferences`.
// "run --tray" runs it in the running instance instead, started with
// `instanceArguments` when none runs.
int RunVerbCommand(int argc, char** argv, prefs::PreferenceStore& preferences, const QList<QByteArray>& operands,
                   const QStringList& instanceArguments);

} // namespace pictomat
