#pragma once

#include "image/Exporters.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace pictomat {

namespace prefs {
class PreferenceStore;
}

// One entry the file managers show for the selected files.
struct FileManagerAction {
    QString id;            // "menu", "make-icon", "export-png": names the entry's files and ids
    QString title;         // "Make Icon for File", "Export Icon as PNG"
    QString comment;       // what it does, for a tool tip
    QStringList arguments; // what the program is given before "--" and the files
};

// The entry that shows the whole menu, then one per command the menu offers
// now (its inclusion preference, as `store` holds it), in the table's order,
// with an export entry for each of the command's file-manager formats that an
// exporter writes. Each command entry runs in the running Pictomat ("run
// --tray"), so its alerts, its progress window and Stop are the tray's.
QList<FileManagerAction> FileManagerActions(prefs::PreferenceStore& store, const ExporterList& exporters);

// The title where the file manager cannot nest the entries under "Pictomat":
// "Pictomat: Make Icon for File", and the menu's own entry "Pictomat", as it
// has always been.
QString FlatTitle(const FileManagerAction& action);

} // namespace pictomat
