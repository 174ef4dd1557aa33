#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <memory>

namespace pictomat {

// The files copied to the clipboard (Copy in a file manager), as a program
// that lives on knows them: read once each time the clipboard changes, in
// the background, and kept in a file of their URIs, so that finding the
// selection at a menu's opening starts no program. Only where the clipboard
// tells of its changes and can be read without keyboard focus (X11, through
// xclip); elsewhere `filesFile()` is empty and the selection script asks the
// clipboard itself.
class CopiedFiles : public QObject {
    Q_OBJECT
public:
    // Keeps the URIs in `file`, in a folder of the user's own.
    explicit CopiedFiles(const QString& file, QObject* parent = nullptr);
    ~CopiedFiles() override;

    // Whether the clipboard is watched here.
    bool watching() const { return m_watching; }
    // The file of the copied files' URIs, one a line; empty when not watching.
    QString filesFile() const { return m_watching ? m_file : QString(); }
    // When the clipboard last changed (nanoseconds since 1970, 0 for never
    // seen). While its new contents are still being read, the earlier ones
    // stand, with their time.
    qint64 changedNs() const { return m_changedNs; }
    // Lets a read in progress finish, for at most `ms`.
    void settle(int ms);

Q_SIGNALS:
    // The clipboard changed and its files are known.
    void changed();

private:
    void clipboardChanged();
    void startRead(const QStringList& arguments);
    void readFinished();
    void store(const QByteArray& uris);

    QString m_file;
    bool m_watching = false;
    qint64 m_changedNs = 0;
    qint64 m_readingNs = 0;
    // The files last copied, kept while the clipboard holds none.
    QByteArray m_uris;
    // A read of the targets, then of one of them; a change meanwhile starts over.
    std::unique_ptr<QProcess> m_read;
    enum class Step { Targets, UriList, GnomeCopiedFiles } m_step = Step::Targets;
    bool m_again = false;
};

} // namespace pictomat
