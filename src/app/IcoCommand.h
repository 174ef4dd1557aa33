#pragma once

#include <QByteArray>
#include <QList>

namespace pictomat {

// The other platforms' icon files from a shell, under the rules of
// "pictomat icns": inputs read as regular files of bounded size, outputs made
// whole and renamed into place, never written through a link, and an
// existing output refused unless --force is given. Operands start after the
// verb's first word, as the shell gave them. Each returns the exit status:
// 0, 1 when anything failed, 2 for usage errors.

// "pictomat ico list|extract|create": what a Windows icon file holds, its
// pictures as PNG files, and icon files made from a picture or from PNGs.
int RunIcoCommand(const QList<QByteArray>& operands);
// "pictomat iconset create": a picture as the ten pictures of an .iconset folder.
int RunIconsetCommand(const QList<QByteArray>& operands);
// "pictomat hicolor create": a picture as a freedesktop icon theme's files,
// laid out to be copied into (or made straight in) a hicolor folder.
int RunHicolorCommand(const QList<QByteArray>& operands);
// "pictomat appicons": a picture as the app icons of every platform, each set
// in the layout its build tool takes (commands/AppIcons.h), under OUTDIR.
// Operands start after "appicons".
int RunAppIconsCommand(const QList<QByteArray>& operands);

} // namespace pictomat
