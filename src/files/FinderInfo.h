#pragma once

#include "files/FileRef.h"

namespace pictomat {

// Type and creator codes of the "user.com.apple.FinderInfo" extended attribute:
// bytes 0-3 type, 4-7 creator. A file without the attribute is left alone.
bool ClearFinderInfoBytes(const FileRef& item, int offset /*0 or 4*/);

// A change notice file managers watching the folder see (an attribute change
// on the item). Returns 0 or an errno value.
int TouchForFileManagers(const FileRef& item);

} // namespace pictomat
