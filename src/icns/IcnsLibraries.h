#pragma once

// What the icon-family codec takes from the libraries it opens when first
// needed (files/SharedLibrary.h): one list of functions per library, named
// as in files/LibraryNames.h.

// OpenJPEG: the JPEG 2000 pictures some icon families hold.
#define PICTOMAT_OPENJP2_FUNCTIONS(X)                                                                                  \
    X(opj_stream_create)                                                                                               \
    X(opj_stream_destroy)                                                                                              \
    X(opj_stream_set_user_data)                                                                                        \
    X(opj_stream_set_user_data_length)                                                                                 \
    X(opj_stream_set_read_function)                                                                                    \
    X(opj_stream_set_skip_function)                                                                                    \
    X(opj_stream_set_seek_function)                                                                                    \
    X(opj_create_decompress)                                                                                           \
    X(opj_destroy_codec)                                                                                               \
    X(opj_set_info_handler)                                                                                            \
    X(opj_set_warning_handler)                                                                                         \
    X(opj_set_error_handler)                                                                                           \
    X(opj_set_default_decoder_parameters)                                                                              \
    X(opj_setup_decoder)                                                                                               \
    X(opj_read_header)                                                                                                 \
    X(opj_decode)                                                                                                      \
    X(opj_end_decompress)                                                                                              \
    X(opj_image_destroy)

// libdeflate: the checksums of the PNG pictures written, and the check that
// a PNG picture's rows inflate whole.
#define PICTOMAT_DEFLATE_FUNCTIONS(X)                                                                                  \
    X(libdeflate_crc32)                                                                                                \
    X(libdeflate_alloc_decompressor)                                                                                   \
    X(libdeflate_free_decompressor)                                                                                    \
    X(libdeflate_zlib_decompress)

// ISA-L: compressing the rows of the PNG pictures written.
#define PICTOMAT_ISAL_FUNCTIONS(X)                                                                                     \
    X(isal_deflate_init)                                                                                               \
    X(isal_deflate)
