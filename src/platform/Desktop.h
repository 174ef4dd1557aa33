#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <utility>

namespace pictomat {

// The services the commands reach the desktop through. The application builds
// one Desktop and hands it down; tests replace only the human-facing parts
// (alerts, sounds, launching other applications) and keep the rest real.
class Desktop {
public:
    virtual ~Desktop() = default;

    enum class AlertAnswer { Ok, Stop };
    // What one alert says: the message and its explanation, as the program
    // has always worded them, and, for a command working through items, which
    // item it is about and why it failed, so that one failure among hundreds
    // can be found.
    struct Alert {
        QString message;
        QString explanation; // empty for none
        QString item;        // the item's path as shown to the user; empty when about none
        QString cause;       // why, in plain words; empty when not known
        // Another alert of an item whose failure was told already: shown where
        // each alert is answered, left out where each item gets one line.
        bool again = false;
    };
    // A modal stop alert with one OK button, after a beep and with the program
    // brought forward. With `offerStop` (more items of a command remain) a
    // "Stop" button stands beside OK.
    virtual AlertAnswer showAlert(const Alert& alert, bool offerStop = false) = 0;
    AlertAnswer showAlert(const QString& message, const QString& explanation = QString())
    {
        Alert alert;
        alert.message = message;
        alert.explanation = explanation;
        return showAlert(alert);
    }
    // A named sound of the freedesktop sound theme ("Ping" is mapped onto a
    // theme event); silence where nothing can play.
    virtual void playSound(const QString& name) = 0;
    // Opens a file or folder as if double-clicked in the file manager.
    virtual bool openUrl(const QUrl& url) = 0;
    // Diagnostic text on standard output, written exactly as given.
    virtual void writeStandardOutput(const QByteArray& text) = 0;

    // Standard output as a plain callable, for the layers below that write
    // diagnostics without knowing the desktop.
    std::function<void(const QByteArray&)> standardOutputWriter()
    {
        return [this](const QByteArray& text) { writeStandardOutput(text); };
    }
};

// An alert as one line, for a shell and for a caller that answers with text:
// "ITEM: MESSAGE (CAUSE)", each part when it has one, the explanation on a
// line of its own when no cause stands in for it.
QString AlertLine(const Desktop::Alert& alert);
// The explanation an alert window shows: the alert's own, then the item and
// the cause.
QString AlertExplanation(const Desktop::Alert& alert);

// What a real session uses: QMessageBox or standard error for alerts,
// libcanberra for sounds, QDesktopServices for opening.
class SystemDesktop : public Desktop {
public:
    enum class AlertStyle { Dialog, StandardError };
    explicit SystemDesktop(AlertStyle style);
    ~SystemDesktop() override;

    using Desktop::showAlert;
    AlertAnswer showAlert(const Alert& alert, bool offerStop) override;
    void playSound(const QString& name) override;
    bool openUrl(const QUrl& url) override;
    void writeStandardOutput(const QByteArray& text) override;

    // How many alerts this desktop has shown; the command line's exit status.
    int alertCount() const { return m_alertCount; }
    // Runs before an alert is written to standard error, so that a progress
    // line on the terminal can make way for it.
    void setBeforeStandardError(std::function<void()> hook);

private:
    AlertStyle m_style;
    int m_alertCount = 0;
    std::function<void()> m_beforeStandardError;
    struct Sound;
    std::unique_ptr<Sound> m_sound;
};

// Forwards to another desktop, routed for a caller that is not the tray:
// standard output dropped (a shell command keeps its output for what the
// command itself says), alerts kept as text for a caller that answers with
// them (D-Bus), instead of shown or as well.
class RoutedDesktop : public Desktop {
public:
    enum class Alerts {
        Show,    // shown, not kept
        Collect, // kept instead of shown
        Record,  // shown and kept
    };
    struct Routes {
        bool dropStandardOutput = false;
        Alerts alerts = Alerts::Show;
    };
    RoutedDesktop(Desktop& inner, Routes routes) : m_inner(inner), m_routes(routes) { }

    using Desktop::showAlert;
    AlertAnswer showAlert(const Alert& alert, bool offerStop) override;
    void playSound(const QString& name) override { m_inner.playSound(name); }
    bool openUrl(const QUrl& url) override { return m_inner.openUrl(url); }
    void writeStandardOutput(const QByteArray& text) override;

    // The kept alerts, one line for each item's failure (AlertLine).
    const QStringList& alerts() const { return m_alerts; }
    // Routes the alerts of one caller's command; the alerts kept so far are
    // handed over and forgotten.
    QStringList routeAlerts(Alerts route)
    {
        m_routes.alerts = route;
        return std::exchange(m_alerts, {});
    }

private:
    Desktop& m_inner;
    Routes m_routes;
    QStringList m_alerts;
};

} // namespace pictomat
