#include "DefaultsTool.h"

namespace pictomat::prefs {

int RunDefaultsTool(const QStringList&)
{
    return 2;
}

} // namespace pictomat::prefs
