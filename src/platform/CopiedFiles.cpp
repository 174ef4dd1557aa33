#include "platform/CopiedFiles.h"

#include "platform/Clipboard.h"

#include <QClipboard>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

namespace pictomat {

namespace {

// A clipboard owner that does not answer in this time holds no files.
constexpr int kReadLimitMs = 500;

qint64 nowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1000000;
}

// The lines of a URI list that name something: no comments, no blank lines.
QByteArray uriLines(const QByteArray& text, bool gnomeCopiedFiles)
{
    QByteArray lines;
    bool first = true;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        // GNOME's list starts with what was done: "copy" or "cut".
        if (first && gnomeCopiedFiles && (line == "copy" || line == "cut"))
            continue;
        first = false;
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        lines += line + '\n';
    }
    return lines;
}

} // namespace

CopiedFiles::CopiedFiles(const QString& file, QObject* parent) : QObject(parent), m_file(file)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    m_watching = clipboard && !Clipboard::waylandSession() && !qEnvironmentVariableIsEmpty("DISPLAY")
                 && !QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty();
    if (!m_watching)
        return;
    // Nothing is known of what was copied before we started: an empty list,
    // as old as can be, so that a hand-over wins.
    store({});
    connect(clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            clipboardChanged();
    });
    // What the clipboard holds now is read too, as of unknown age: older
    // than any hand-over, and not brought back by a restart after a clear.
    QTimer::singleShot(0, this, [this] {
        clipboardChanged();
        m_readingNs = 0;
    });
}

CopiedFiles::~CopiedFiles()
{
    if (m_read) {
        m_read->disconnect(this);
        m_read->kill();
        m_read->waitForFinished(1000);
    }
}

void CopiedFiles::clipboardChanged()
{
    if (m_read) {
        // The read in progress is of older contents: once it ends, read again.
        m_again = true;
        return;
    }
    m_readingNs = nowNs();
    m_step = Step::Targets;
    startRead({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
               QStringLiteral("TARGETS"), QStringLiteral("-o")});
}

void CopiedFiles::startRead(const QStringList& arguments)
{
    m_read = std::make_unique<QProcess>();
    m_read->setStandardInputFile(QProcess::nullDevice());
    m_read->setStandardErrorFile(QProcess::nullDevice());
    connect(m_read.get(), &QProcess::finished, this, &CopiedFiles::readFinished);
    connect(m_read.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            readFinished();
    });
    m_read->start(QStringLiteral("xclip"), arguments);
    QTimer::singleShot(kReadLimitMs, m_read.get(), [read = m_read.get()] { read->kill(); });
}

void CopiedFiles::readFinished()
{
    std::unique_ptr<QProcess> read = std::move(m_read);
    read->disconnect(this);
    const bool ok = read->exitStatus() == QProcess::NormalExit && read->exitCode() == 0;
    const QByteArray output = ok ? read->readAllStandardOutput() : QByteArray();
    read.release()->deleteLater();
    if (m_again) {
        m_again = false;
        clipboardChanged();
        return;
    }
    if (m_step == Step::Targets) {
        const QList<QByteArray> targets = output.split('\n');
        const char* target = targets.contains("text/uri-list")                  ? "text/uri-list"
                             : targets.contains("x-special/gnome-copied-files") ? "x-special/gnome-copied-files"
                                                                                : nullptr;
        if (target) {
            m_step = qstrcmp(target, "text/uri-list") == 0 ? Step::UriList : Step::GnomeCopiedFiles;
            startRead({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                       QString::fromLatin1(target), QStringLiteral("-o")});
            return;
        }
    }
    const QByteArray uris = m_step == Step::Targets ? QByteArray() : uriLines(output, m_step == Step::GnomeCopiedFiles);
    store(uris);
    // The same files again are no new copy: a clipboard manager taking the
    // clipboard over when its owner quits (the clipboard is empty for a
    // moment in between) must not make files copied long ago newer than a
    // later hand-over or clear.
    if (!uris.isEmpty() && uris != m_uris) {
        m_uris = uris;
        m_changedNs = m_readingNs;
    }
    Q_EMIT changed();
}

void CopiedFiles::store(const QByteArray& uris)
{
    QSaveFile out(m_file);
    if (!out.open(QIODevice::WriteOnly) || out.write(uris) != uris.size() || !out.commit())
        m_watching = false;
}

void CopiedFiles::settle(int ms)
{
    QDeadlineTimer deadline(ms);
    while (m_read && !deadline.hasExpired()) {
        // finished() is delivered within the wait; a next step may begin there.
        if (!m_read->waitForFinished(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
    }
}

} // namespace pictomat
