#pragma once

// What the desktop services take from the libraries they open when first
// needed (files/SharedLibrary.h): one list of functions per library, named
// as in files/LibraryNames.h.

// libcanberra, with the Vorbis, Ogg, TDB and libltdl libraries behind it:
// the sound played when a command is done.
#define PICTOMAT_CANBERRA_FUNCTIONS(X)                                                                                 \
    X(ca_context_create)                                                                                               \
    X(ca_context_change_props)                                                                                         \
    X(ca_context_play)                                                                                                 \
    X(ca_context_destroy)

// ALSA, which libcanberra plays through: told to keep its complaints to itself.
#define PICTOMAT_ASOUND_FUNCTIONS(X) X(snd_lib_error_set_handler)
