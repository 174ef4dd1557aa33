#pragma once

#include <QString>

namespace pictomat {

// The folder of Pictomat's data files (selection script, bundled icons):
// share/pictomat beside the executable's bin folder, in the build tree and
// once installed alike. PICTOMAT_DATA_DIR overrides it.
QString DataDirectory();

// The XDG base folders, with their standard fallbacks under $HOME.
QString XdgConfigHome();
QString XdgDataHome();
QString XdgRuntimeDir();  // falls back to a private folder under /tmp

} // namespace pictomat
