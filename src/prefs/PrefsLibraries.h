#pragma once

// What the preference domain takes from the libraries it opens when first
// needed (files/SharedLibrary.h), named as in files/LibraryNames.h.

// libplist: binary property lists, read only when a file holds one (a
// preference file synchronised from elsewhere, a Mac's web location).
#define PICTOMAT_PLIST_FUNCTIONS(X)                                                                                    \
    X(plist_from_bin)                                                                                                  \
    X(plist_free)                                                                                                      \
    X(plist_copy)                                                                                                      \
    X(plist_to_xml)                                                                                                    \
    X(plist_to_xml_free)                                                                                               \
    X(plist_get_node_type)                                                                                             \
    X(plist_bool_val_is_true)                                                                                          \
    X(plist_get_real_val)                                                                                              \
    X(plist_get_uint_val)                                                                                              \
    X(plist_get_string_ptr)                                                                                            \
    X(plist_get_date_val)                                                                                              \
    X(plist_get_data_ptr)                                                                                              \
    X(plist_get_uid_val)                                                                                               \
    X(plist_array_get_size)                                                                                            \
    X(plist_array_new_iter)                                                                                            \
    X(plist_array_next_item)                                                                                           \
    X(plist_dict_get_size)                                                                                             \
    X(plist_dict_new_iter)                                                                                             \
    X(plist_dict_next_item)
