#pragma once

#include <QStringList>

namespace pictomat::prefs {

// "pictomat defaults read [KEY] | write KEY -bool|-int|-float|-string VALUE | delete KEY".
// Arguments start after "defaults". Returns the exit status.
int RunDefaultsTool(const QStringList& arguments);

} // namespace pictomat::prefs
