#pragma once

#include "commands/CommandProgress.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>

class QProgressDialog;

namespace pictomat {

// A tray command's progress as the user sees it: once the command has run for
// about half a second, a small window with the command's title, "N of M", the
// current item's name and a Stop button; for one item alone, only when the
// item waits that long on a download, which Stop then ends. It does not block
// the menu: the events that arrive meanwhile are handled between items and
// while a download waits, so the menu opens and further commands queue.
// `reported` hears of every item too (the tray's tool tip, D-Bus).
class ProgressWindow : public CommandProgress {
public:
    using Reporter = std::function<void(const QString& title, int index, int count, const FileRef& item)>;
    ProgressWindow(QString title, Reporter reported);
    ~ProgressWindow() override;

    void itemStarted(int index, int count, const FileRef& item) override;
    bool stopRequested() const override { return m_stop; }
    void requestStop() override { m_stop = true; }
    bool keepWaiting() override;

    // How long the command may run before the window shows.
    static constexpr int kShowAfterMs = 500;

private:
    void show();
    void describe();

    QString m_title;
    Reporter m_reported;
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_dialog;
    bool m_stop = false;
    int m_index = 0;
    int m_count = 0;
    FileRef m_item;
};

} // namespace pictomat
