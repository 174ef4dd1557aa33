#include "platform/Clipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <optional>

namespace pictomat {

namespace {

// A picture larger than this on the clipboard is not read.
constexpr qint64 kLargestClipboardEntry = 256 * 1024 * 1024;
// How long the clipboard may take to show what was just set.
constexpr int kSettleLimitMs = 2000;

// Runs a wl-clipboard helper with the time limit; its output, or nothing when
// it failed, printed too much or did not answer in time.
std::optional<QByteArray> runHelper(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                                    bool keepOutput = true)
{
    QProcess process;
    if (!keepOutput) {
        // wl-copy leaves a server behind that serves the clipboard; it must
        // not hold a pipe of ours.
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    process.start(program, arguments);
    if (!process.waitForStarted(Clipboard::kHelperTimeLimitMs))
        return std::nullopt;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    QByteArray output;
    QDeadlineTimer deadline(Clipboard::kHelperTimeLimitMs);
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired() || output.size() > kLargestClipboardEntry) {
            process.kill();
            process.waitForFinished(1000);
            return std::nullopt;
        }
        process.waitForReadyRead(50);
        if (keepOutput)
            output += process.readAllStandardOutput();
    }
    if (keepOutput)
        output += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return output;
}

QString helper(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

QStringList waylandTypes()
{
    const QString paste = helper("wl-paste");
    if (paste.isEmpty())
        return {};
    const std::optional<QByteArray> listed = runHelper(paste, {QStringLiteral("--list-types")});
    if (!listed)
        return {};
    QStringList types;
    for (const QByteArray& line : listed->split('\n')) {
        if (!line.trimmed().isEmpty())
            types.append(QString::fromUtf8(line.trimmed()));
    }
    return types;
}

std::optional<QByteArray> waylandData(const QString& type)
{
    return runHelper(helper("wl-paste"), {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
}

// The compositor takes a moment to hand a new selection out.
bool waylandHolds(const QByteArray& png)
{
    QDeadlineTimer deadline(kSettleLimitMs);
    do {
        if (waylandTypes() == QStringList{QStringLiteral("image/png")}
            && waylandData(QStringLiteral("image/png")) == png)
            return true;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

bool useWlClipboard()
{
    return Clipboard::waylandSession() && !helper("wl-copy").isEmpty() && !helper("wl-paste").isEmpty();
}

} // namespace

namespace Clipboard {

bool waylandSession()
{
    const QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty())
        return false;
    const QByteArray socket = display.startsWith('/') ? display : qgetenv("XDG_RUNTIME_DIR") + '/' + display;
    return QFileInfo::exists(QFile::decodeName(socket));
}

bool setPng(const QByteArray& png, Error* error)
{
    if (Clipboard::waylandSession()) {
        // Neither Qt's own Wayland connection (refused in silence without
        // focus) nor XWayland (X programs only) reaches what users paste.
        if (!useWlClipboard()) {
            SetError(error, QCoreApplication::translate(
                                "Clipboard",
                                "The clipboard of a Wayland session is set with wl-clipboard (wl-copy and "
                                "wl-paste), which is not installed."));
            return false;
        }
        if (!runHelper(helper("wl-copy"), {QStringLiteral("--type"), QStringLiteral("image/png")}, png, false)) {
            SetError(error, QCoreApplication::translate("Clipboard", "wl-copy could not set the clipboard."));
            return false;
        }
        if (!waylandHolds(png)) {
            SetError(error, QCoreApplication::translate(
                                "Clipboard", "The clipboard does not hold the picture after wl-copy set it."));
            return false;
        }
        return true;
    }
    QClipboard* clipboard =
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
    if (!clipboard) {
        SetError(error, QCoreApplication::translate("Clipboard", "There is no clipboard without a graphical session."));
        return false;
    }
    clipboard->clear();
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/png"), png);
    clipboard->setMimeData(mime);
    // Platforms that cannot report ownership (offscreen) still hand back what
    // was just set while nobody else has taken it.
    if (clipboard->ownsClipboard() || clipboard->mimeData() == mime)
        return true;
    SetError(error, QCoreApplication::translate("Clipboard", "Another program took the clipboard at once."));
    return false;
}

std::unique_ptr<QMimeData> contents()
{
    auto mime = std::make_unique<QMimeData>();
    if (useWlClipboard()) {
        for (const QString& type : waylandTypes()) {
            if (!type.startsWith(QLatin1String("image/")) && type != QLatin1String("text/uri-list"))
                continue;
            if (const std::optional<QByteArray> data = waylandData(type))
                mime->setData(type, *data);
        }
        return mime;
    }
    QClipboard* clipboard =
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
    const QMimeData* held = clipboard ? clipboard->mimeData() : nullptr;
    if (!held)
        return mime;
    for (const QString& format : held->formats()) {
        if (format.startsWith(QLatin1String("image/")) || format == QLatin1String("text/uri-list"))
            mime->setData(format, held->data(format));
    }
    if (held->hasImage())
        mime->setImageData(held->imageData());
    return mime;
}

} // namespace Clipboard

} // namespace pictomat
