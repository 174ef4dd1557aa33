#include "web/FetchBudget.h"

#include <QTimer>

#include <algorithm>

namespace pictomat {

bool WaitWithin(const FetchBudget& budget, const std::function<bool()>& done, QEventLoop& loop)
{
    // How often the budget's owner is asked whether to go on waiting.
    constexpr int kAskEveryMs = 50;
    if (done())
        return true;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer ask;
    QObject::connect(&ask, &QTimer::timeout, &loop, [&] {
        if (budget.stopped())
            loop.quit();
    });
    while (!done() && !budget.deadline.hasExpired() && !budget.stopped()) {
        deadline.start(int(std::clamp<qint64>(budget.deadline.remainingTime(), 1, 1 << 30)));
        if (budget.keepWaiting)
            ask.start(kAskEveryMs);
        loop.exec();
        ask.stop();
    }
    return done();
}

} // namespace pictomat
