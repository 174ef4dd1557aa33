#pragma once

#include "image/BackgroundBitmap.h"
#include "output/OutputFolder.h"

#include <cstdint>

namespace pictomat {

struct CommandOptions;
namespace prefs {
class PreferenceStore;
}

// The preferences a command works with, read once when it starts, so that
// every item of one run is treated alike and the layers below take values
// instead of reading the store themselves.
struct CommandSettings {
    OutputFolderRule folders;
    BackgroundColor background;
    int16_t iconSize = 128;
    int codecQuality = 1023;
    bool openImageFolder = true;
    bool openImageFile = true;
    bool addCustomIcon = true;
    bool overwriteFilesBySameName = true;
    bool appendIconSize = false;
    bool imageIcns = false;
    bool macosShape = false; // app icons for macOS on Apple's grid

    // From the preference domain; the alpha of the options wins over the
    // "alpha" default, which wins over an opaque background.
    static CommandSettings Read(prefs::PreferenceStore& store, const CommandOptions& options);
};

} // namespace pictomat
