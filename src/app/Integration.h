#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace pictomat {

// The file-manager entries that hand the selection to "pictomat menu", for the
// current user: Nautilus and Caja scripts, a Nemo action, a Thunar custom
// action (merged into uca.xml), a Dolphin service menu and a PCManFM-Qt action.
// Every entry carries our mark, so removal takes out exactly what was added;
// running either twice changes nothing the second time.
struct IntegrationResult {
    QStringList changed;  // files written or removed
    QStringList errors;
};
IntegrationResult AddFileManagerActions(const QString& pictomatCommand);
IntegrationResult RemoveFileManagerActions();

// The XDG autostart entry.
bool SetAutostart(bool on, const QString& pictomatCommand, QString* error);

// "pictomat integrate [--remove]" and "pictomat autostart on|off".
int RunIntegrateCommand(const QStringList& arguments);
int RunAutostartCommand(const QStringList& arguments);

// Thunar's uca.xml with our action merged in or taken out; the user's own
// actions and everything else in the file are kept. Nothing on a parse error.
std::optional<QByteArray> MergeThunarActions(const QByteArray& existing, const QString& pictomatCommand, bool add);

} // namespace pictomat
