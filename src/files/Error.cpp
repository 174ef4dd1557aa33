#include "files/Error.h"

#include <cstring>

namespace pictomat {

Error Error::fromErrno(int code, const QString& doing)
{
    const QString words = SystemErrorText(code);
    return Error{doing.isEmpty() ? words : doing + QStringLiteral(": ") + words, code};
}

QString SystemErrorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace pictomat
