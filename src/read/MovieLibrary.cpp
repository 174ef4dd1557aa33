#include "read/MovieLibrary.h"

#include <memory>

namespace pictomat::movie {

const Library* Load()
{
    // Opened once and kept for the life of the process; a failed load is not retried.
    static const std::unique_ptr<const Library> loaded = []() -> std::unique_ptr<const Library> {
        const AvUtil* avutil = LoadLibrary<AvUtil>(PICTOMAT_LIBRARY_AVUTIL);
        const AvCodec* avcodec = LoadLibrary<AvCodec>(PICTOMAT_LIBRARY_AVCODEC);
        const AvFormat* avformat = LoadLibrary<AvFormat>(PICTOMAT_LIBRARY_AVFORMAT);
        const SwScale* swscale = LoadLibrary<SwScale>(PICTOMAT_LIBRARY_SWSCALE);
        if (!avutil || !avcodec || !avformat || !swscale)
            return nullptr;
        // Damaged movies are ordinary input here; their complaints are not ours to print.
        avutil->av_log_set_level(AV_LOG_FATAL);
        return std::make_unique<const Library>(Library{*avutil, *avcodec, *avformat, *swscale});
    }();
    return loaded.get();
}

} // namespace pictomat::movie
