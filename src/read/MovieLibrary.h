#pragma once

#include "files/SharedLibrary.h"
#include "read/ReaderLibraries.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

namespace pictomat::movie {

// The movie libraries' entry points. They are opened on first use rather
// than linked: FFmpeg and the codecs behind it are well over a hundred shared
// libraries, and loading them would cost every start of the program (the
// tray item, each command-line run) a fifth of a second and 20 MiB, although
// only movies need them.
struct AvUtil {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_AVUTIL_FUNCTIONS)
};
struct AvCodec {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_AVCODEC_FUNCTIONS)
};
struct AvFormat {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_AVFORMAT_FUNCTIONS)
};
struct SwScale {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_SWSCALE_FUNCTIONS)
};
struct Library : AvUtil, AvCodec, AvFormat, SwScale { };

// The loaded libraries (the sonames built against), or null when one cannot
// be loaded; then no movie has a poster.
const Library* Load();

} // namespace pictomat::movie
