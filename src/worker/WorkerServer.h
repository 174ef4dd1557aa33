#pragma once

namespace pictomat::worker {

// The reading worker's loop over the socket the program handed it: each
// request is served by a child of its own, forked from this process (one
// thread, nothing decoded yet, so the fork is cheap and clean), which enters
// the sandbox, reads the file it was handed and answers on the request's own
// socket; the worker then tells how the child ended. Returns when the
// program closes its end.
int ServeRequests(int control);

} // namespace pictomat::worker
