#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>

#include <functional>

namespace pictomat {

// How long fetching may take, and who may end it sooner: a deadline shared by
// every request it covers, and a question asked every few milliseconds while
// an answer is awaited ("Stop" in a window, Ctrl-C in a terminal). While it
// waits, every event is handled, so that such a request is heard at once.
struct FetchBudget {
    QDeadlineTimer deadline;
    std::function<bool()> keepWaiting; // none: wait until the deadline
    bool stopped() const { return keepWaiting && !keepWaiting(); }
};

// Runs `loop` until `done` holds, the deadline passes or the budget's owner
// stops waiting; true when `done` holds.
bool WaitWithin(const FetchBudget& budget, const std::function<bool()>& done, QEventLoop& loop);

} // namespace pictomat
