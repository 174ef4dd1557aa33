#pragma once

#include <QByteArray>
#include <QList>

namespace pictomat {

// "pictomat icns list|extract|create": looks inside icon files, saves their
// pictures, and makes icon files from .iconset folders and PNG files.
// Operands start after "icns", as the shell gave them. Every input is read as
// a regular file of bounded size and every output is written whole under a
// temporary name, then renamed, so no output is written through a link; an
// existing output is refused unless --force is given. Returns the exit
// status: 0, 1 when anything failed, 2 for usage errors.
int RunIcnsCommand(const QList<QByteArray>& operands);

} // namespace pictomat
