#include "platform/Desktop.h"

#include "files/SharedLibrary.h"
#include "platform/Log.h"
#include "platform/PlatformLibraries.h"

#include <QCoreApplication>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QWidget>

#include <cstdarg>
#include <cstdio>

#include <poll.h>
#include <unistd.h>

#ifdef PICTOMAT_LIBRARY_CANBERRA
#include <canberra.h>
#endif
#ifdef PICTOMAT_LIBRARY_ASOUND
#include <alsa/error.h>
#endif

namespace pictomat {

namespace {

#ifdef PICTOMAT_LIBRARY_CANBERRA
struct CanberraLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_CANBERRA_FUNCTIONS)
};

// Where nothing can play, the sound library would only complain: no sound
// server to talk to and no playback device.
bool soundOutputPresent()
{
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/pulse/native")))
        return true;
    const QStringList devices = QDir(QStringLiteral("/dev/snd")).entryList({QStringLiteral("pcmC*p")}, QDir::System);
    return !devices.isEmpty();
}

#ifdef PICTOMAT_LIBRARY_ASOUND
struct AlsaLibrary {
    PICTOMAT_LIBRARY_TABLE(PICTOMAT_ASOUND_FUNCTIONS)
};

extern "C" void alsaMessage(const char*, int, const char*, int, const char* format, ...)
{
    if (!lcPlatform().isDebugEnabled())
        return;
    va_list arguments;
    va_start(arguments, format);
    const QString text = QString::vasprintf(format, arguments);
    va_end(arguments);
    qCDebug(lcPlatform).noquote() << "ALSA:" << text;
}
#endif

// ALSA reports a card it cannot open on standard error; the sound simply
// does not play, and the log has it for whoever looks. Its library is there
// whenever the sound library can use it.
void silenceAlsa()
{
#ifdef PICTOMAT_LIBRARY_ASOUND
    if (const AlsaLibrary* alsa = LoadLibrary<AlsaLibrary>(PICTOMAT_LIBRARY_ASOUND))
        alsa->snd_lib_error_set_handler(&alsaMessage);
#endif
}
#endif

} // namespace

// The sound library is opened with the first sound, not at every start: the
// tray at rest and most commands never play one.
struct SystemDesktop::Sound {
#ifdef PICTOMAT_LIBRARY_CANBERRA
    const CanberraLibrary* lib = nullptr;
    ca_context* context = nullptr;
    bool tried = false;
    ~Sound()
    {
        if (context)
            lib->ca_context_destroy(context);
    }
    bool open()
    {
        if (tried)
            return context;
        tried = true;
        if (!soundOutputPresent())
            return false;
        lib = LoadLibrary<CanberraLibrary>(PICTOMAT_LIBRARY_CANBERRA);
        if (!lib)
            return false;
        silenceAlsa();
        if (lib->ca_context_create(&context) != CA_SUCCESS)
            context = nullptr;
        else
            lib->ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Pictomat", CA_PROP_APPLICATION_ID,
                                         "com.corvane.Pictomat", nullptr);
        return context;
    }
    void play(const QString& name)
    {
        if (!open())
            return;
        // The freedesktop theme has no "Ping"; its nearest event is the short
        // completion chime.
        const QByteArray id = name == QLatin1String("Ping") ? QByteArray("complete") : name.toUtf8().toLower();
        lib->ca_context_play(context, 0, CA_PROP_EVENT_ID, id.constData(), nullptr);
    }
#else
    void play(const QString&) { }
#endif
};

SystemDesktop::SystemDesktop(AlertStyle style) : m_style(style), m_sound(std::make_unique<Sound>()) { }

SystemDesktop::~SystemDesktop() = default;

QString AlertLine(const Desktop::Alert& alert)
{
    QString line = alert.item.isEmpty() ? alert.message : QStringLiteral("%1: %2").arg(alert.item, alert.message);
    if (!alert.cause.isEmpty())
        return QStringLiteral("%1 (%2)").arg(line, alert.cause);
    if (!alert.explanation.isEmpty())
        line += QLatin1Char('\n') + alert.explanation;
    return line;
}

QString AlertExplanation(const Desktop::Alert& alert)
{
    QStringList lines;
    if (!alert.item.isEmpty())
        lines.append(QCoreApplication::translate("Alert", "Item: %1").arg(alert.item));
    if (!alert.cause.isEmpty())
        lines.append(QCoreApplication::translate("Alert", "Reason: %1").arg(alert.cause));
    if (alert.explanation.isEmpty())
        return lines.join(QLatin1Char('\n'));
    if (lines.isEmpty())
        return alert.explanation;
    return alert.explanation + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
}

Desktop::AlertAnswer SystemDesktop::showAlert(const Alert& alert, bool offerStop)
{
    ++m_alertCount;
    if (m_style == AlertStyle::StandardError || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // A shell hears of each item's failure once; a shell user stops a
        // command with Ctrl-C.
        if (alert.again)
            return AlertAnswer::Ok;
        if (m_beforeStandardError)
            m_beforeStandardError();
        std::fprintf(stderr, "pictomat: %s\n", AlertLine(alert).toUtf8().constData());
        std::fflush(stderr);
        return AlertAnswer::Ok;
    }
    QApplication::beep();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Pictomat"), alert.message, QMessageBox::Ok);
    if (const QString explanation = AlertExplanation(alert); !explanation.isEmpty())
        box.setInformativeText(explanation);
    // OK goes on with the next item, as it always has; Stop ends the command
    // there, for when every item fails the same way.
    QPushButton* stop =
        offerStop ? box.addButton(QCoreApplication::translate("Alert", "Stop"), QMessageBox::RejectRole) : nullptr;
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
    return stop && box.clickedButton() == stop ? AlertAnswer::Stop : AlertAnswer::Ok;
}

void SystemDesktop::setBeforeStandardError(std::function<void()> hook)
{
    m_beforeStandardError = std::move(hook);
}

void SystemDesktop::playSound(const QString& name)
{
    m_sound->play(name);
}

bool SystemDesktop::openUrl(const QUrl& url)
{
    // Qt's platform services open documents only where a real display
    // platform runs; a command-line run (offscreen) asks xdg-open directly.
    const bool platformOpens = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                               && QGuiApplication::platformName() != QLatin1String("offscreen")
                               && QGuiApplication::platformName() != QLatin1String("minimal");
    if (platformOpens && QDesktopServices::openUrl(url))
        return true;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromLatin1(url.toEncoded())});
}

void SystemDesktop::writeStandardOutput(const QByteArray& text)
{
    // The tray runs for days: output that nobody reads (a pipe whose reader
    // stopped reading) must never stop it, so what would have to wait is
    // dropped. A command keeps its output whole.
    if (m_style == AlertStyle::Dialog) {
        struct pollfd out = {STDOUT_FILENO, POLLOUT, 0};
        if (::poll(&out, 1, 0) != 1 || (out.revents & POLLOUT) == 0)
            return;
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

Desktop::AlertAnswer RoutedDesktop::showAlert(const Alert& alert, bool offerStop)
{
    if (m_routes.alerts != Alerts::Show && !alert.again)
        m_alerts.append(AlertLine(alert));
    if (m_routes.alerts == Alerts::Collect)
        return AlertAnswer::Ok;
    return m_inner.showAlert(alert, offerStop);
}

void RoutedDesktop::writeStandardOutput(const QByteArray& text)
{
    if (!m_routes.dropStandardOutput)
        m_inner.writeStandardOutput(text);
}

} // namespace pictomat
