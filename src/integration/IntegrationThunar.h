#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace pictomat::integration {

// Folders that "pictomat integrate" made for an entry, written into the entry
// itself so that removal takes out exactly those: file URIs, '-' encoded too
// so the text may stand inside an XML comment.
QByteArray FolderListText(const QStringList& folders);
QStringList FolderListFromText(const QByteArray& text);

// Thunar's custom actions (uca.xml). Thunar reads the first uca.xml it finds,
// the user's before the system's in $XDG_CONFIG_DIRS, so a user file made here
// starts as a copy of the system one, with a comment that records the copy's
// checksum and the folders made for it. Edits are textual: everything outside
// our <action> stays byte for byte as Thunar or the user wrote it.
struct ThunarFile {
    std::optional<QByteArray> contents; // nothing: the file is to be deleted
    QStringList madeFolders;            // for a deleted file: what may go with it
};

// One of our actions, in Thunar's "Pictomat" submenu.
struct ThunarAction {
    QString id; // unique among ours: "menu", "make-icon"
    QString name;
    QString description;
    QString command; // the shell command, "%F" for the files
};

// The user's file with our actions in it, in the order given; actions of ours
// that are not among them (an older Pictomat's) go. `existing` is the user's file when
// there is one; otherwise `seed` (the system file, or empty) is the start.
// Nothing, with `error`, when the file is not Thunar's XML.
std::optional<QByteArray> WithThunarActions(const std::optional<QByteArray>& existing, const QByteArray& seed,
                                            const QList<ThunarAction>& actions, const QStringList& madeFolders,
                                            QString* error);
// The user's file without our actions: deleted when it was made here and
// nothing else in it changed since. Nothing, with `error`, when it is not XML.
std::optional<ThunarFile> WithoutThunarAction(const QByteArray& existing, QString* error);
// Whether the text holds an action of ours.
bool HasThunarAction(const QByteArray& text);

} // namespace pictomat::integration
