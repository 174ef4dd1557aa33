#pragma once

#include "read/PictureFile.h"

#include <QByteArray>

#include <chrono>
#include <functional>
#include <optional>

namespace pictomat::worker {

// About a gigabyte of address space beside what the program's own libraries
// map: a picture within the reading limits fits, a bomb does not.
// AddressSanitizer reserves terabytes of address space for its shadow, so a
// sanitized build is held by the processor time and the deadline alone.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr qint64 kReadingAddressSpace = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr qint64 kReadingAddressSpace = 0;
#else
inline constexpr qint64 kReadingAddressSpace = 1536LL * 1024 * 1024;
#endif
#else
inline constexpr qint64 kReadingAddressSpace = 1536LL * 1024 * 1024;
#endif
// Processor time of one request: the drawing budget is the real rule, this
// only catches a decoder that spins.
inline constexpr int kReadingCpuSeconds = 20;

// What one reading child may use, enforced by the kernel once it is set:
// nothing here can be undone by the libraries that run after it.
struct SandboxLimits {
    qint64 addressSpaceBytes = 0; // RLIMIT_AS
    int cpuSeconds = 0;           // RLIMIT_CPU (SIGXCPU, then SIGKILL a second later)
    QByteArray ownFolder;         // a drawing's folder, readable for its linked pictures
    QByteArray ownModules;        // where our own modules lie (the PDF one)
};

// Applies the limits to this process: no new privileges, the resource
// limits, and a Landlock ruleset that lets it read only the system's own
// files (libraries loaded on first use, fonts, fontconfig's configuration
// and cache) and the drawing's own folder, and write nothing anywhere. A
// kernel without Landlock leaves the resource limits alone in force.
// False when a limit that must hold could not be set.
bool EnterSandbox(const SandboxLimits& limits);

// Runs `work` in a child forked from this process, under a reading child's
// limits (the system's files read only, nothing written, no network, no
// program, the memory and processor limits, the reading deadline), and
// gives back the bytes it returns. Nothing when the child was stopped
// (*why TooCostly), ran out of memory (TooLarge) or crashed (Damaged). For
// a command-line tool that holds its input in memory and runs no other
// thread: a fork keeps only the calling one.
std::optional<QByteArray> RunConfined(const std::function<QByteArray()>& work, PictureStatus* why = nullptr,
                                      std::chrono::milliseconds deadline = std::chrono::milliseconds(15000));

} // namespace pictomat::worker
