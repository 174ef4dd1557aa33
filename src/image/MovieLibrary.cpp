#include "image/MovieLibrary.h"

#include <dlfcn.h>

#include <memory>

namespace pictomat::movie {

namespace {

#define PICTOMAT_STRINGIFY_(x) #x
#define PICTOMAT_STRINGIFY(x) PICTOMAT_STRINGIFY_(x)

struct Closer {
    void operator()(void* handle) const { dlclose(handle); }
};
using Handle = std::unique_ptr<void, Closer>;

struct Loaded {
    Handle avutil;
    Handle avcodec;
    Handle avformat;
    Handle swscale;
    Library library;
    bool complete = false;
};

std::unique_ptr<Loaded> load()
{
    auto loaded = std::make_unique<Loaded>();
    // The same major versions as the headers: their interfaces are the ones compiled in.
    loaded->avutil.reset(dlopen("libavutil.so." PICTOMAT_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_NODELETE));
    loaded->avcodec.reset(
        dlopen("libavcodec.so." PICTOMAT_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_NODELETE));
    loaded->avformat.reset(
        dlopen("libavformat.so." PICTOMAT_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_NODELETE));
    loaded->swscale.reset(
        dlopen("libswscale.so." PICTOMAT_STRINGIFY(LIBSWSCALE_VERSION_MAJOR), RTLD_NOW | RTLD_NODELETE));
    if (!loaded->avutil || !loaded->avcodec || !loaded->avformat || !loaded->swscale)
        return loaded;

    bool complete = true;
#define PICTOMAT_MOVIE_RESOLVE(lib, name)                                                                              \
    loaded->library.name = reinterpret_cast<decltype(&::name)>(dlsym(loaded->lib.get(), #name));                       \
    complete = complete && loaded->library.name != nullptr;
    PICTOMAT_MOVIE_FUNCTIONS(PICTOMAT_MOVIE_RESOLVE)
#undef PICTOMAT_MOVIE_RESOLVE
    loaded->complete = complete;
    if (complete) {
        // Damaged movies are ordinary input here; their complaints are not ours to print.
        loaded->library.av_log_set_level(AV_LOG_FATAL);
    }
    return loaded;
}

} // namespace

const Library* Load()
{
    // Loaded once and kept for the life of the process; a failed load is not retried.
    static const std::unique_ptr<Loaded> loaded = load();
    return loaded->complete ? &loaded->library : nullptr;
}

} // namespace pictomat::movie
