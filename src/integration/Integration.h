#pragma once

#include "files/Error.h"

#include <QString>
#include <QStringList>

namespace pictomat {

namespace prefs {
class PreferenceStore;
}

// The file-manager entries for the current user, one per command the menu
// offers (FileManagerActions) beside the one that shows the whole menu:
// Nautilus and Caja scripts in a "Pictomat" folder, Nemo actions, Thunar
// custom actions in a "Pictomat" submenu (merged into uca.xml), a Dolphin
// service menu with a "Pictomat" submenu and a PCManFM-Qt menu of actions.
// Every entry carries our mark and names the folders made for it, so removal
// takes out exactly what was added: a file without our mark is never touched,
// and a uca.xml made from the system's goes again when nothing else in it
// changed. Adding takes out entries of ours that are no longer offered.
// Running either twice changes nothing the second time.
struct IntegrationResult {
    QStringList added;   // files and folders made
    QStringList updated; // files of the user's that were edited
    QStringList removed; // files and folders taken out
    QStringList notes;   // what the user should know or do next
    QStringList errors;
};
// The commands offered are those the preference domain `store` offers.
IntegrationResult AddFileManagerActions(prefs::PreferenceStore& store, const QString& pictomatCommand);
IntegrationResult RemoveFileManagerActions();

// The XDG autostart entry.
bool SetAutostart(bool on, const QString& pictomatCommand, Error* error);

// "pictomat integrate [--remove]" and "pictomat autostart on|off".
int RunIntegrateCommand(prefs::PreferenceStore& store, const QStringList& arguments);
int RunAutostartCommand(const QStringList& arguments);

} // namespace pictomat
