#pragma once

#include <glib-object.h>

#include <memory>

namespace pictomat {

// Owners for GLib's reference-counted objects and its allocations, so that
// every return path of a GIO call releases what it got.
struct GObjectUnref {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeDeleter {
    void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;

} // namespace pictomat
