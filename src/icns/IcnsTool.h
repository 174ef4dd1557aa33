#pragma once

#include <QStringList>

namespace pictomat::icns {

// "pictomat icns list FILE" and "pictomat icns extract FILE DIR".
// Arguments start after "icns". Returns the exit status.
int RunIcnsTool(const QStringList& arguments);

} // namespace pictomat::icns
