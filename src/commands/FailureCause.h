#pragma once

#include "files/Error.h"
#include "files/FileRef.h"
#include "read/PictureFile.h"

#include <QByteArray>
#include <QString>

namespace pictomat {

// Why an item failed, in plain words: what an alert's explanation names after
// the item, and what the command line puts in brackets after the message
// ("pictomat: FILE: MESSAGE (CAUSE)"). Each text is written here once.
namespace cause {

// In whose words a cause is said: the user's language for what they read,
// English for the log, which stays English whatever the user speaks.
enum class In { UserLanguage, English };

// What the file system says of an item's name: "there is no such file or
// folder", "permission denied"; empty when the name is there.
QString ofName(const QByteArray& path, In in = In::UserLanguage);
// A system call's errno in plain words ("the disk is full").
QString ofErrno(int code, In in = In::UserLanguage);
// The errno's words when a system call failed, else the routine's own (as
// the routine said them, whatever `in` asks).
QString ofError(const Error& error, In in = In::UserLanguage);
// Why a picture could not be used; empty for one that decoded.
QString ofPicture(PictureStatus status, In in = In::UserLanguage);

QString noMetadataService(In in = In::UserLanguage);
QString noTrash(In in = In::UserLanguage);
// A file has the output's name and replacing files is switched off.
QString outputTaken(const FileRef& output, In in = In::UserLanguage);
QString iconDrawsNothing(In in = In::UserLanguage);
QString iconFileHoldsNothing(In in = In::UserLanguage);
QString noWebAddress(In in = In::UserLanguage);
QString notAWebLocation(In in = In::UserLanguage);
QString pageHasNoHead(In in = In::UserLanguage);
QString pageNamesNoIcon(In in = In::UserLanguage);
QString noPictureAtIconAddress(In in = In::UserLanguage);
QString clipboardHoldsNoPicture(In in = In::UserLanguage);

} // namespace cause

} // namespace pictomat
