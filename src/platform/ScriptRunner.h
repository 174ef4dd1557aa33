#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace pictomat {

// Runs an executable with no arguments and gives what it printed, or nothing
// when it failed, exited with a non-zero status, printed more than any sane
// answer holds or outlived the time limit. The program and everything it
// started are killed at the limit (it leads its own process group), so a
// hanging helper cannot hold up the caller.
// `environment` ("NAME=value" entries) is added to this process's own.
std::optional<QByteArray> RunScriptWithTimeLimit(const QByteArray& program, int timeLimitMs,
                                                 const QList<QByteArray>& environment = {});

} // namespace pictomat
