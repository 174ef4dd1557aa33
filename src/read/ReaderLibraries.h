#pragma once

// What the readers take from the libraries it opens when first needed
// (files/SharedLibrary.h): one list of functions per library, named as in
// files/LibraryNames.h. Each library, with the dozens behind some of them,
// is loaded by the first picture that needs it rather than by every start
// of the program.

// libtiff and the codecs behind it: TIFF pictures.
#define PICTOMAT_TIFF_FUNCTIONS(X)                                                                                     \
    X(TIFFClientOpen)                                                                                                  \
    X(TIFFClose)                                                                                                       \
    X(TIFFGetField)                                                                                                    \
    X(TIFFRGBAImageOK)                                                                                                 \
    X(TIFFRGBAImageBegin)                                                                                              \
    X(TIFFRGBAImageGet)                                                                                                \
    X(TIFFRGBAImageEnd)                                                                                                \
    X(TIFFSetErrorHandler)                                                                                             \
    X(TIFFSetWarningHandler)

// libheif and its HEVC and AV1 decoders: HEIF and AVIF photos.
#define PICTOMAT_HEIF_FUNCTIONS(X)                                                                                     \
    X(heif_context_alloc)                                                                                              \
    X(heif_context_free)                                                                                               \
    X(heif_context_read_from_reader)                                                                                   \
    X(heif_context_set_maximum_image_size_limit)                                                                       \
    X(heif_context_get_primary_image_handle)                                                                           \
    X(heif_image_handle_release)                                                                                       \
    X(heif_image_handle_get_width)                                                                                     \
    X(heif_image_handle_get_height)                                                                                    \
    X(heif_image_handle_has_alpha_channel)                                                                             \
    X(heif_image_handle_is_premultiplied_alpha)                                                                        \
    X(heif_image_handle_get_number_of_thumbnails)                                                                      \
    X(heif_image_handle_get_list_of_thumbnail_IDs)                                                                     \
    X(heif_image_handle_get_thumbnail)                                                                                 \
    X(heif_image_handle_get_color_profile_type)                                                                        \
    X(heif_image_handle_get_raw_color_profile_size)                                                                    \
    X(heif_image_handle_get_raw_color_profile)                                                                         \
    X(heif_image_handle_get_nclx_color_profile)                                                                        \
    X(heif_nclx_color_profile_free)                                                                                    \
    X(heif_decoding_options_alloc)                                                                                     \
    X(heif_decoding_options_free)                                                                                      \
    X(heif_decode_image)                                                                                               \
    X(heif_image_get_plane_readonly)                                                                                   \
    X(heif_image_get_width)                                                                                            \
    X(heif_image_get_height)                                                                                           \
    X(heif_image_release)

// librsvg and cairo: SVG drawings.
#define PICTOMAT_RSVG_FUNCTIONS(X)                                                                                     \
    X(rsvg_handle_new_from_stream_sync)                                                                                \
    X(rsvg_handle_get_intrinsic_size_in_pixels)                                                                        \
    X(rsvg_handle_get_intrinsic_dimensions)                                                                            \
    X(rsvg_handle_render_document)

#define PICTOMAT_CAIRO_FUNCTIONS(X)                                                                                    \
    X(cairo_image_surface_create_for_data)                                                                             \
    X(cairo_surface_create_observer)                                                                                   \
    X(cairo_surface_observer_add_fill_callback)                                                                        \
    X(cairo_surface_observer_add_stroke_callback)                                                                      \
    X(cairo_surface_observer_add_paint_callback)                                                                       \
    X(cairo_surface_observer_add_mask_callback)                                                                        \
    X(cairo_surface_observer_add_glyphs_callback)                                                                      \
    X(cairo_surface_finish)                                                                                            \
    X(cairo_surface_flush)                                                                                             \
    X(cairo_surface_destroy)                                                                                           \
    X(cairo_surface_status)                                                                                            \
    X(cairo_create)                                                                                                    \
    X(cairo_destroy)

// Little CMS: pictures with a colour profile other than sRGB, and the sRGB
// profile that exported pictures are tagged with.
#define PICTOMAT_LCMS2_FUNCTIONS(X)                                                                                    \
    X(cmsOpenProfileFromMem)                                                                                           \
    X(cmsCloseProfile)                                                                                                 \
    X(cmsGetProfileInfoASCII)                                                                                          \
    X(cmsGetColorSpace)                                                                                                \
    X(cmsCreate_sRGBProfile)                                                                                           \
    X(cmsCreateTransform)                                                                                              \
    X(cmsDeleteTransform)                                                                                              \
    X(cmsDoTransformLineStride)                                                                                        \
    X(cmsSaveProfileToMem)

// FFmpeg, well over a hundred libraries with the codecs: movie poster frames.
#define PICTOMAT_AVUTIL_FUNCTIONS(X)                                                                                   \
    X(av_frame_alloc)                                                                                                  \
    X(av_frame_free)                                                                                                   \
    X(av_frame_unref)                                                                                                  \
    X(av_frame_move_ref)                                                                                               \
    X(av_log_set_level)                                                                                                \
    X(av_display_rotation_get)                                                                                         \
    X(av_dict_set)                                                                                                     \
    X(av_dict_free)                                                                                                    \
    X(av_malloc)                                                                                                       \
    X(av_free)

#define PICTOMAT_AVCODEC_FUNCTIONS(X)                                                                                  \
    X(av_packet_alloc)                                                                                                 \
    X(av_packet_free)                                                                                                  \
    X(av_packet_unref)                                                                                                 \
    X(av_packet_clone)                                                                                                 \
    X(avcodec_alloc_context3)                                                                                          \
    X(avcodec_free_context)                                                                                            \
    X(avcodec_parameters_to_context)                                                                                   \
    X(avcodec_open2)                                                                                                   \
    X(avcodec_send_packet)                                                                                             \
    X(avcodec_receive_frame)                                                                                           \
    X(avcodec_flush_buffers)

#define PICTOMAT_AVFORMAT_FUNCTIONS(X)                                                                                 \
    X(avformat_alloc_context)                                                                                          \
    X(avio_alloc_context)                                                                                              \
    X(avio_context_free)                                                                                               \
    X(avformat_open_input)                                                                                             \
    X(avformat_close_input)                                                                                            \
    X(avformat_find_stream_info)                                                                                       \
    X(av_find_best_stream)                                                                                             \
    X(av_read_frame)                                                                                                   \
    X(av_seek_frame)                                                                                                   \
    X(av_guess_sample_aspect_ratio)                                                                                    \
    X(av_stream_get_side_data)

#define PICTOMAT_SWSCALE_FUNCTIONS(X)                                                                                  \
    X(sws_getContext)                                                                                                  \
    X(sws_freeContext)                                                                                                 \
    X(sws_scale)                                                                                                       \
    X(sws_getColorspaceDetails)                                                                                        \
    X(sws_setColorspaceDetails)                                                                                        \
    X(sws_getCoefficients)

// Our module over poppler (PdfModule.cpp): the first page of a PDF.
#define PICTOMAT_PDF_FUNCTIONS(X) X(pictomat_open_pdf)
