#pragma once

#include "files/FileRef.h"
#include "platform/Desktop.h"

namespace pictomat {

// Shows a file selected in a file-manager window through
// org.freedesktop.FileManager1.ShowItems when a file manager provides it on the
// session bus (running or activatable); otherwise opens the containing folder.
// The path travels as a URI argument, never as script text, so nothing in a
// file name can be injected. Thunar opens a new window at every call, so where
// one of its windows shows the folder already, that window comes forward.
bool RevealInFileManager(const FileRef& item, Desktop& desktop);

} // namespace pictomat
