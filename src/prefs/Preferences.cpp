#include "Preferences.h"

namespace pictomat::prefs {

static QStringList g_arguments;

void SetCommandLineArguments(const QStringList& arguments)
{
    g_arguments = arguments;
}

} // namespace pictomat::prefs
