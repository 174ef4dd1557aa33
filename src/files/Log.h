#pragma once

#include <QLoggingCategory>

namespace pictomat {

// The program logs through Qt's logging, one category per layer
// ("pictomat.files", "pictomat.image", ..., each declared in its layer's
// Log.h as lcFiles is here), and one message handler, installed at start by
// InstallLogHandler(), takes every line, the program's and those of the
// libraries it uses, to the system log under the identifier "Pictomat".
//
// - qCWarning is for the lines the program always writes: on by default, in
//   the journal as notices, their words as they are.
// - qCDebug and qCInfo are for a maintainer, off until switched on as in any
//   Qt program: QT_LOGGING_RULES='pictomat.*.debug=true' (or one layer,
//   'pictomat.web.debug=true'). They go to the journal after their category.
// - Qt's own messages (and a library's that comes through Qt) go to the
//   journal at debug level as "Qt: ...", never to the terminal: a user there
//   sees only what the program tells them.
// - PICTOMAT_LOG_STDERR=1 shows the log on standard error as well, the
//   program's lines as "Pictomat[log]: ...", since a shell user does not look
//   in the journal.
//
// What the user is told (alerts, usage errors, the "pictomat: ..." lines of
// the command line) is never a log line: it goes to standard error directly.
inline const QLoggingCategory& lcFiles()
{
    static const QLoggingCategory category("pictomat.files", QtWarningMsg);
    return category;
}

// Sends every message of the process through the handler described above.
void InstallLogHandler();

} // namespace pictomat
