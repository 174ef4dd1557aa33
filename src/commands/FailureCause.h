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

// What the file system says of an item's name: "there is no such file or
// folder", "permission denied"; empty when the name is there.
QString ofName(const QByteArray& path);
// A system call's errno in plain words ("the disk is full").
QString ofErrno(int code);
// The errno's words when a system call failed, else the routine's own.
QString ofError(const Error& error);
// Why a picture could not be used; empty for one that decoded.
QString ofPicture(PictureStatus status);

QString noMetadataService();
QString noTrash();
// A file has the output's name and replacing files is switched off.
QString outputTaken(const FileRef& output);
QString iconDrawsNothing();
QString iconFileHoldsNothing();
QString noWebAddress();
QString notAWebLocation();
QString pageHasNoHead();
QString pageNamesNoIcon();
QString noPictureAtIconAddress();
QString clipboardHoldsNoPicture();

} // namespace cause

} // namespace pictomat
