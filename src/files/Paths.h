#pragma once

#include <QByteArray>
#include <QString>

namespace pictomat {

// The folder holding this process's program (bin/ or libexec/), as the
// file system's bytes; empty when it cannot be told. Pictomat's other parts
// lie beside it: ../libexec, ../lib/pictomat/modules, ../share/pictomat.
QByteArray ProgramFolder();

// The folder of Pictomat's data files (selection script, bundled icons):
// share/pictomat beside the executable's bin folder, in the build tree and
// once installed alike. PICTOMAT_DATA_DIR overrides it.
QString DataDirectory();

// The XDG base folders, with their standard fallbacks under $HOME.
QString XdgConfigHome();
QString XdgDataHome();
QString XdgCacheHome();
// $XDG_RUNTIME_DIR; without it a folder of our own, mode 0700:
// $TMPDIR/pictomat-runtime-UID (TMPDIR is /tmp unless set) when it is ours
// alone, else $XDG_CACHE_HOME/pictomat-runtime.
QString XdgRuntimeDir();

} // namespace pictomat
