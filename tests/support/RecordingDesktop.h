#pragma once

#include "platform/Desktop.h"

#include <QStringList>
#include <QUrl>
#include <QVector>

namespace pictomat::test {

// Records the human-facing services instead of showing or playing anything.
// Events keeps one ordered trace of everything, for tests of ordering.
class RecordingDesktop : public Desktop {
public:
    struct Alert {
        QString message;
        QString explanation;
    };
    QVector<Alert> alerts;
    QStringList sounds;
    QVector<QUrl> opened;
    QStringList logLines;
    QByteArray standardOutput;
    QStringList events; // "alert:MSG", "sound:NAME", "open:URL", "log:LINE"
    bool openResult = true;
    bool answerStop = false; // what the user answers where an alert offers to stop
    int stopOffers = 0;      // how many alerts offered to stop

    AlertAnswer showAlert(const QString& message, const QString& explanation = QString(),
                          bool offerStop = false) override
    {
        alerts.append({message, explanation});
        events.append("alert:" + message);
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
    void log(const QString& line) override
    {
        logLines.append(line);
        events.append("log:" + line);
    }
    void writeStandardOutput(const QByteArray& text) override { standardOutput += text; }

    QStringList alertMessages() const
    {
        QStringList r;
        for (const Alert& a : alerts)
            r.append(a.message);
        return r;
    }
};

} // namespace pictomat::test
