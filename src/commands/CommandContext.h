#pragma once

#include "commands/CommandProgress.h"
#include "files/FileRef.h"
#include "image/Exporters.h"
#include "platform/Desktop.h"

#include <QVector>
#include <functional>

namespace pictomat {

class IconProvider;
namespace prefs {
class PreferenceStore;
}

// An output the running command set out to make and could not, and why.
struct FailedOutput {
    FileRef file;
    QString reason;
};

// What commands share across runs: the services the application hands down
// (the desktop, the preference domain, the icon lookup) and the little that
// one command leaves for the next.
struct CommandContext {
    CommandContext(Desktop& d, prefs::PreferenceStore& p, IconProvider& i) : desktop(d), preferences(p), icons(i) { }

    Desktop& desktop;
    prefs::PreferenceStore& preferences;
    IconProvider& icons;
    // The image layer the exporters come from; tests hand in a stand-in.
    GraphicsLayer graphics;
    // The item the make-icon loop worked on last: "Go to Pictomat folder..."
    // opens the folder its output went to.
    FileRef currentItem;
    // The most recently finished output file, revealed after a make-icon run.
    FileRef lastOutputFile;
    // The outputs of the running command that could not be written and had
    // no alert of their own. The menu only logs them; the command line and
    // D-Bus report them and fail.
    QVector<FailedOutput> failedOutputs;
    // How many alerts commands have raised through this context.
    int alertsShown = 0;
    // The item the running command works on, as its alerts name it (its path,
    // or the name given for an entry that names nothing), and how many
    // alerts it has had: a second one tells of a failure told already.
    QByteArray alertItem;
    int itemAlerts = 0;
    // Who watches the running command item by item, if anyone.
    CommandProgress* progress = nullptr;
    // How many items of the running command come after the current one.
    int itemsRemaining = 0;
    // Told of every icon a command renders (once for all the items that
    // share it); tests count renders here.
    std::function<void(const QString& iconSource)> iconRendered;
    // Told of every output as soon as it is written; the command line prints
    // its path.
    std::function<void(const FileRef& output)> onOutputWritten;
    // Where reloading the exporter list reports; the desktop unless set.
    Desktop* exporterConsole = nullptr;
    Desktop& exporterDesktop() { return exporterConsole ? *exporterConsole : desktop; }
};

} // namespace pictomat
