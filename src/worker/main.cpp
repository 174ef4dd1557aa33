// The reading worker (pictomat-reader): started by the program with its end
// of a socket as descriptor 3, it reads the pictures the program hands it in
// sandboxed children of its own, so that no file can hold, exhaust or crash
// the program.
#include "worker/WorkerServer.h"

int main()
{
    return pictomat::worker::ServeRequests(3);
}
