#pragma once

#include "read/MovieLibrary.h"

namespace pictomat {

// Each opens the libraries its readers open when first needed, once, with
// its complaint in the log once when one cannot be loaded: for the reading
// worker, whose children are forked with them already loaded instead of
// each loading them again.
void PreloadDrawingLibraries();
void PreloadHeifLibrary();
void PreloadTiffLibrary();
void PreloadColourLibrary();

} // namespace pictomat
