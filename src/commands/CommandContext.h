#pragma once

#include "platform/Desktop.h"
#include "image/Exporters.h"
#include "platform/FileRef.h"

namespace pictomat {

// What a command works with: the desktop services and the process-wide state
// that outlives single commands.
struct CommandContext {
    explicit CommandContext(Desktop& d) : desktop(d) {}

    Desktop& desktop;
    SelectedItems selectedItems;   // as taken at the last menu build
    ExporterList exporterList;     // as loaded at the last menu build or lookup
    bool graphicsAvailable = false;
    FileRef currentItem;           // the item the make-icon loop works on
    FileRef lastOutputFile;        // the most recently finished output file
    // Where reloading the exporter list reports; the desktop unless set.
    Desktop* exporterConsole = nullptr;
    Desktop& exporterDesktop() { return exporterConsole ? *exporterConsole : desktop; }
};

} // namespace pictomat
