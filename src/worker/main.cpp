// The reading worker (pictomat-reader): started by the program with its end
// of a socket as descriptor 3, it reads the pictures the program hands it in
// sandboxed children of its own, so that no file can hold, exhaust or crash
// the program.
#include "files/Log.h"
#include "worker/WorkerServer.h"

int main()
{
    pictomat::InstallLogHandler();
    return pictomat::worker::ServeRequests(3);
}
