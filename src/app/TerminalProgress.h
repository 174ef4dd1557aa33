#pragma once

#include "commands/CommandProgress.h"

#include <csignal>

namespace pictomat {

// "pictomat run" in a terminal: one progress line on standard error (the
// count and the item's name), rewritten in place, and Ctrl-C ending the
// command after the current item. Nothing is drawn when standard error is not
// a terminal, or when `draw` is false; Ctrl-C stops either way, and a
// second one ends at once.
class TerminalProgress : public CommandProgress {
public:
    explicit TerminalProgress(bool draw = true);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void itemStarted(int index, int count, const FileRef& item) override;
    bool stopRequested() const override;
    void requestStop() override;
    // Clears the progress line, so that a message can take its place.
    void clearLine();

private:
    static void interrupted(int);
    static inline volatile std::sig_atomic_t s_interrupted = 0;
    struct sigaction m_oldInt = {};
    bool m_drawing = false;
    bool m_lineShown = false;
};

} // namespace pictomat
