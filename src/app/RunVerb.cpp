#include "RunVerb.h"

#include <cstdio>

namespace pictomat {

int RunVerbCommand(int, char**, const QStringList&)
{
    std::fprintf(stderr, "pictomat: run is not available yet\n");
    return 2;
}

} // namespace pictomat
