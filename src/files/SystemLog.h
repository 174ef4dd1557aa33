#pragma once

#include <QByteArray>
#include <QString>

namespace pictomat {

// The system log under the identifier "Pictomat", usable from every layer.
// With PICTOMAT_LOG_STDERR set the lines show on standard error as well,
// since a desktop session's log is not where a shell user looks.
void SystemLog(const QString& line);

// What a library we use says (Qt, libpng, ...), at debug level, as
// "LIBRARY: TEXT": a user sees only the program's own messages on the terminal.
void LibraryLog(const char* library, const QByteArray& text);

} // namespace pictomat
