#include "Dispatcher.h"

namespace pictomat {

void Dispatcher::handleMenuItem(int)
{
}

} // namespace pictomat
