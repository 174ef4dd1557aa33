#pragma once

#include "platform/Desktop.h"

#include <QMutex>
#include <QStringList>
#include <QUrl>
#include <QVector>

#include <cstring>
#include <functional>

namespace pictomat::test {

// Takes the lines the program always logs (warnings and above of the
// "pictomat." categories) while it lives, as they are written, and hands
// everything else on to the handler before it. The newest one alive takes
// them; a copy or an assignment keeps its own place in that order.
class LogRecorder {
public:
    explicit LogRecorder(std::function<void(const QString&)> take) : m_take(std::move(take))
    {
        QMutexLocker lock(&s_mutex);
        m_outer = s_current;
        m_previous = qInstallMessageHandler(&message);
        s_current = this;
    }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) { return *this; }
    ~LogRecorder()
    {
        QMutexLocker lock(&s_mutex);
        qInstallMessageHandler(m_previous);
        s_current = m_outer;
    }

private:
    static void message(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        const bool programLine = (type == QtWarningMsg || type == QtCriticalMsg) && context.category
                                 && std::strncmp(context.category, "pictomat.", 9) == 0;
        QMutexLocker lock(&s_mutex);
        if (programLine && s_current) {
            s_current->m_take(text);
            return;
        }
        QtMessageHandler previous = s_current ? s_current->m_previous : nullptr;
        lock.unlock();
        if (previous)
            previous(type, context, text);
    }

    std::function<void(const QString&)> m_take;
    LogRecorder* m_outer = nullptr;
    QtMessageHandler m_previous = nullptr;
    static inline LogRecorder* s_current = nullptr;
    static inline QMutex s_mutex;
};

// Records the human-facing services instead of showing or playing anything.
// Events keeps one ordered trace of everything, for tests of ordering.
class RecordingDesktop : public Desktop {
public:
    QVector<Alert> alerts;
    QStringList sounds;
    QVector<QUrl> opened;
    QStringList logLines; // the program's log lines while this desktop lives
    QByteArray standardOutput;
    QStringList events; // "alert:MSG", "sound:NAME", "open:URL", "log:LINE"
    bool openResult = true;
    bool answerStop = false; // what the user answers where an alert offers to stop
    int stopOffers = 0;      // how many alerts offered to stop

    using Desktop::showAlert;
    AlertAnswer showAlert(const Alert& alert, bool offerStop = false) override
    {
        alerts.append(alert);
        events.append("alert:" + alert.message);
        stopOffers += offerStop ? 1 : 0;
        return offerStop && answerStop ? AlertAnswer::Stop : AlertAnswer::Ok;
    }
    void playSound(const QString& name) override
    {
        sounds.append(name);
        events.append("sound:" + name);
    }
    bool openUrl(const QUrl& url) override
    {
        opened.append(url);
        events.append("open:" + url.toString());
        return openResult;
    }
    void writeStandardOutput(const QByteArray& text) override { standardOutput += text; }

    RecordingDesktop() = default;
    RecordingDesktop(const RecordingDesktop& other) : RecordingDesktop() { *this = other; }
    RecordingDesktop& operator=(const RecordingDesktop&) = default;

    QStringList alertMessages() const
    {
        QStringList r;
        for (const Alert& a : alerts)
            r.append(a.message);
        return r;
    }

private:
    LogRecorder m_logs{[this](const QString& line) {
        logLines.append(line);
        events.append("log:" + line);
    }};
};

} // namespace pictomat::test
