#pragma once

#include <QStringList>

namespace pictomat::prefs {

class PreferenceStore;

// "pictomat defaults read [KEY] | write KEY -bool|-int|-float|-string VALUE | delete KEY".
// Arguments start after "defaults"; the domain is the store's. Returns the
// exit status.
int RunDefaultsTool(PreferenceStore& store, const QStringList& arguments);

} // namespace pictomat::prefs
