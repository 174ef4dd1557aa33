#include "IcnsTool.h"

namespace pictomat::icns {

int RunIcnsTool(const QStringList&)
{
    return 2;
}

} // namespace pictomat::icns
