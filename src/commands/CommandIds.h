#pragma once

namespace pictomat {

// Menu item tags. 1..N are the image exporters, in ExporterList order.
enum CommandId : int {
    kCommandGoToFolder = 1007,
    kCommandMakeIconForFile = 1009,
    kCommandMakeIconForMedia = 1010,
    kCommandAddCustomIconToMedia = 1011,
    kCommandCopyIconForFile = 1013,
    kCommandAddCustomIconFromClipboard = 1014,
    kCommandAddShortcutIcon = 1015,
    kCommandRemoveCustomIcon = 1016,
    kCommandIconSize16 = 2001,
    kCommandIconSize32 = 2002,
    kCommandIconSize48 = 2003,
    kCommandIconSize64 = 2004,
    kCommandIconSize128 = 2005,
    kCommandIconSize256 = 2006,
    kCommandIconSize512 = 2007,
};

} // namespace pictomat
