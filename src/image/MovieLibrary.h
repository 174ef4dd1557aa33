#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

namespace pictomat::movie {

// Every FFmpeg entry point the poster reader calls, with the library it lives in.
#define PICTOMAT_MOVIE_FUNCTIONS(X)                                                                                    \
    X(avutil, av_frame_alloc)                                                                                          \
    X(avutil, av_frame_free)                                                                                           \
    X(avutil, av_frame_unref)                                                                                          \
    X(avutil, av_frame_move_ref)                                                                                       \
    X(avutil, av_log_set_level)                                                                                        \
    X(avutil, av_display_rotation_get)                                                                                 \
    X(avutil, av_dict_set)                                                                                             \
    X(avutil, av_dict_free)                                                                                            \
    X(avcodec, av_packet_alloc)                                                                                        \
    X(avcodec, av_packet_free)                                                                                         \
    X(avcodec, av_packet_unref)                                                                                        \
    X(avcodec, av_packet_clone)                                                                                        \
    X(avcodec, avcodec_alloc_context3)                                                                                 \
    X(avcodec, avcodec_free_context)                                                                                   \
    X(avcodec, avcodec_parameters_to_context)                                                                          \
    X(avcodec, avcodec_open2)                                                                                          \
    X(avcodec, avcodec_send_packet)                                                                                    \
    X(avcodec, avcodec_receive_frame)                                                                                  \
    X(avcodec, avcodec_flush_buffers)                                                                                  \
    X(avutil, av_malloc)                                                                                               \
    X(avutil, av_free)                                                                                                 \
    X(avformat, avformat_alloc_context)                                                                                \
    X(avformat, avio_alloc_context)                                                                                    \
    X(avformat, avio_context_free)                                                                                     \
    X(avformat, avformat_open_input)                                                                                   \
    X(avformat, avformat_close_input)                                                                                  \
    X(avformat, avformat_find_stream_info)                                                                             \
    X(avformat, av_find_best_stream)                                                                                   \
    X(avformat, av_read_frame)                                                                                         \
    X(avformat, av_seek_frame)                                                                                         \
    X(avformat, av_guess_sample_aspect_ratio)                                                                          \
    X(avformat, av_stream_get_side_data)                                                                               \
    X(swscale, sws_getContext)                                                                                         \
    X(swscale, sws_freeContext)                                                                                        \
    X(swscale, sws_scale)                                                                                              \
    X(swscale, sws_getColorspaceDetails)                                                                               \
    X(swscale, sws_setColorspaceDetails)                                                                               \
    X(swscale, sws_getCoefficients)

// The movie libraries' entry points. They are loaded on first use rather than
// linked: FFmpeg and the codecs behind it are well over a hundred shared
// libraries, and loading them would cost every start of the program (the
// tray item, each command-line run) a fifth of a second and 20 MiB, although
// only movies need them.
struct Library {
#define PICTOMAT_MOVIE_POINTER(lib, name) decltype(&::name) name = nullptr;
    PICTOMAT_MOVIE_FUNCTIONS(PICTOMAT_MOVIE_POINTER)
#undef PICTOMAT_MOVIE_POINTER
};

// The loaded libraries (the major versions built against), or null when they
// cannot be loaded; then no movie has a poster.
const Library* Load();

} // namespace pictomat::movie
