#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace pictomat {

// "pictomat icns list|extract|create": looks inside icon files, saves their
// pictures, and makes icon files from .iconset folders and PNG files.
// Operands start after "icns", as the shell gave them. Every input is read as
// a regular file of bounded size and every output is written whole under a
// temporary name, then renamed, so no output is written through a link; an
// existing output is refused unless --force is given. Returns the exit
// status: 0, 1 when anything failed, 2 for usage errors.
int RunIcnsCommand(const QList<QByteArray>& operands);

// What the icon-file verbs share: their options, their messages and their
// outputs' rules.
namespace iconverbs {

// "pictomat: NAME: message", the name as the shell gave it.
void complain(const QByteArray& name, const QString& message);

struct Arguments {
    bool force = false;
    bool iconset = false;
    QList<QByteArray> operands;
    bool valid = true;
};
// Options may stand anywhere after the verb; "--" ends them. --iconset only
// where allowed; any other option makes the arguments invalid.
Arguments parse(const QList<QByteArray>& words, bool iconsetAllowed);

// Writes `bytes` as `path`, never through what has the name: a new file is
// renamed into place, and without force nothing that exists is replaced.
// Says why on standard error when it fails.
bool writeOutput(const QByteArray& path, const QByteArray& bytes, bool force);

} // namespace iconverbs

} // namespace pictomat
