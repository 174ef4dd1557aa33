#pragma once

#include "image/Exporters.h"
#include "platform/Desktop.h"
#include "platform/FileRef.h"

namespace pictomat {

// What commands share across runs: the desktop services and the little that
// one command leaves for the next.
struct CommandContext {
    explicit CommandContext(Desktop& d) : desktop(d) {}

    Desktop& desktop;
    // The image layer the exporters come from; tests hand in a stand-in.
    GraphicsLayer graphics;
    // The item the make-icon loop worked on last: "Go to Pictomat folder..."
    // opens the folder its output went to.
    FileRef currentItem;
    // The most recently finished output file, revealed after a make-icon run.
    FileRef lastOutputFile;
    // Where reloading the exporter list reports; the desktop unless set.
    Desktop* exporterConsole = nullptr;
    Desktop& exporterDesktop() { return exporterConsole ? *exporterConsole : desktop; }
};

} // namespace pictomat
