#pragma once

// libdeflate, opened with the first PNG picture written or checked. Private
// to the icns library.

#include "files/SharedLibrary.h"
#include "icns/IcnsLibraries.h"

#include <libdeflate.h>

namespace pictomat::icns::codec {

struct DeflateLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_DEFLATE_FUNCTIONS)
};

// Null when libdeflate cannot be opened (logged once).
inline const DeflateLibrary* Deflate()
{
    return LoadLibrary<DeflateLibrary>(PICTOMAT_LIBRARY_DEFLATE);
}

} // namespace pictomat::icns::codec
