#pragma once

#include "read/MovieLibrary.h"

namespace pictomat {

void PreloadDrawingLibraries();
void PreloadHeifLibrary();
void PreloadTiffLibrary();
void PreloadColourLibrary();

// Opens every library the readers open when first needed (FFmpeg, librsvg
// and cairo, the PDF module, libheif, libtiff, Little CMS), each once, with
// its complaint in the log once when it cannot be loaded. For the reading
// worker, whose children are forked with them already loaded instead of each
// loading them again.
inline void PreloadReaderLibraries()
{
    movie::Load();
    PreloadDrawingLibraries();
    PreloadHeifLibrary();
    PreloadTiffLibrary();
    PreloadColourLibrary();
}

} // namespace pictomat
