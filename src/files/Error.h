#pragma once

#include <QString>

#include <utility>

namespace pictomat {

// Why a routine failed, for its caller: the message in plain words (what an
// alert's explanation, a "pictomat: ..." line or a log line says) and, when a
// system call failed, its errno, for a caller that acts on the cause rather
// than on the words (EEXIST: something took the name meanwhile). 0 when no
// system call is to blame.
//
// A routine that says why takes `Error* error` last, null when the caller
// does not ask, fills it through SetError, and says whether it failed by what
// it returns (bool, std::optional, or a result of its own). The routines with
// the system's status codes (0, -43, -50, -108) keep them instead.
struct Error {
    QString message;
    int code = 0;

    // The system's words for `code`, after what was being done when given:
    // "cannot create a file in /x: No space left on device".
    static Error fromErrno(int code, const QString& doing = QString());
};

// Tells the caller why, when it asked.
inline void SetError(Error* error, Error why)
{
    if (error)
        *error = std::move(why);
}
inline void SetError(Error* error, const QString& message)
{
    SetError(error, Error{message, 0});
}

// strerror(3) as text.
QString SystemErrorText(int code);

} // namespace pictomat
