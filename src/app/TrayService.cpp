#include "app/TrayService.h"

#include "app/AppController.h"
#include "app/Selection.h"
#include "commands/Command.h"
#include "commands/ItemOperations.h"
#include "files/FileRef.h"
#include "files/Paths.h"
#include "platform/Clipboard.h"
#include "platform/Desktop.h"
#include "platform/IconProvider.h"
#include "platform/QuitOnSignals.h"
#include "prefs/StoredValue.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <limits>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace pictomat {

namespace {

constexpr int kInstanceStartLimitMs = 5000;
constexpr int kCallTimeoutMs = 10000;

// A D-Bus string must be UTF-8, and a file name need not be: everything goes
// over the bus as an ASCII URI.
QString busUri(const QByteArray& argument)
{
    if (argument.startsWith("file:"))
        return QString::fromLatin1(FileRef::fromUri(argument).uri());
    if (argument.contains("://")) {
        QByteArray ascii;
        for (const char c : argument) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x21 || byte >= 0x7f)
                ascii += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
            else
                ascii += c;
        }
        return QString::fromLatin1(ascii);
    }
    return QString::fromLatin1(FileRef::fromLocalPath(argument).uri());
}

QStringList busUris(const QList<QByteArray>& files)
{
    QStringList uris;
    for (const QByteArray& f : files)
        uris.append(busUri(f));
    return uris;
}

// A D-Bus variant may arrive wrapped once more.
QVariant unwrapped(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

// The request a D-Bus caller asks for, checked as strictly as the command
// line checks its words: nothing, and why, when anything names nothing.
std::optional<CommandRequest> requestFromBus(const QString& verb, const QStringList& uris, const QVariantMap& options,
                                             Desktop& desktop, const GraphicsLayer& graphics, bool* interactive,
                                             QString* error)
{
    const Command* command = FindCommandByVerb(verb);
    if (!command) {
        *error = QStringLiteral("unknown command \"%1\"").arg(verb);
        return std::nullopt;
    }
    CommandRequest request;
    request.command = command;
    std::optional<QString> operand;
    for (auto it = options.constBegin(); it != options.constEnd(); ++it) {
        const QVariant value = unwrapped(it.value());
        if (it.key() == QLatin1String("extension") && value.typeId() == QMetaType::QString) {
            operand = value.toString();
        } else if (it.key() == QLatin1String("size") && prefs::IsIntegerKind(value)) {
            operand = QString::number(value.toLongLong());
        } else if (it.key() == QLatin1String("alpha")
                   && (value.typeId() == QMetaType::Double || prefs::IsIntegerKind(value))
                   && std::isfinite(value.toDouble())) {
            request.options.alpha = float(value.toDouble());
        } else if (it.key() == QLatin1String("interactive") && value.typeId() == QMetaType::Bool) {
            *interactive = value.toBool();
        } else {
            *error = QStringLiteral("option \"%1\" is unknown or of the wrong type").arg(it.key());
            return std::nullopt;
        }
    }
    const char* operandName = command->operand == Operand::Exporter   ? "extension"
                              : command->operand == Operand::IconSize ? "size"
                                                                      : nullptr;
    if (bool(operandName) != operand.has_value()) {
        *error = operandName ? QStringLiteral("%1 needs the option \"%2\"").arg(verb, QLatin1String(operandName))
                             : QStringLiteral("%1 takes no extension or size").arg(verb);
        return std::nullopt;
    }
    ExporterList exporters;
    if (command->operand == Operand::Exporter && LoadGraphicsLayer(graphics)) {
        RoutedDesktop quiet(desktop, {.dropStandardOutput = true});
        exporters = LoadExporterList(quiet.standardOutputWriter(), graphics);
    }
    if (operand && !SetOperandFromText(*command, *operand, exporters, &request.options, error))
        return std::nullopt;
    QList<QByteArray> files;
    for (const QString& uri : uris) {
        const QByteArray bytes = uri.toUtf8();
        if (!bytes.startsWith("file:") || FileRef::fromUri(bytes).isEmpty()) {
            *error = QStringLiteral("\"%1\" is not a file:// URI").arg(uri);
            return std::nullopt;
        }
        files.append(bytes);
    }
    if (command->needsFiles && files.isEmpty()) {
        *error = QStringLiteral("%1 needs at least one file").arg(verb);
        return std::nullopt;
    }
    request.items = SelectionFromArguments(files);
    return request;
}

bool instanceRunning(const QDBusConnection& bus)
{
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(QString::fromLatin1(kBusName));
    return reply.isValid() && reply.value();
}

QDBusMessage instanceCall(const char* method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), QString::fromLatin1(kObjectPath),
                                                       QString::fromLatin1(kBusInterface), QString::fromLatin1(method));
    call.setAutoStartService(false);
    return call;
}

// Starts the tray program: through D-Bus activation once installed, else
// this same executable, detached, its output kept in the runtime folder.
bool startInstance(const QDBusConnection& bus, const QStringList& instanceArguments)
{
    const QDBusReply<QStringList> activatable = bus.interface()->activatableServiceNames();
    if (activatable.isValid() && activatable.value().contains(QString::fromLatin1(kBusName))) {
        if (bus.interface()->startService(QString::fromLatin1(kBusName)).isValid())
            return true;
    }
    const QString folder = XdgRuntimeDir() + QStringLiteral("/pictomat");
    QDir().mkpath(folder);
    const QString log = folder + QStringLiteral("/instance.log");
    QFile(log).open(QIODevice::WriteOnly | QIODevice::Truncate);

    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(instanceArguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PICTOMAT_DETACHED"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::homePath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(log, QIODevice::Append);
    process.setStandardErrorFile(log, QIODevice::Append);
    return process.startDetached();
}

bool waitForInstance(const QDBusConnection& bus)
{
    QDeadlineTimer deadline(kInstanceStartLimitMs);
    while (!instanceRunning(bus)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

bool waylandPluginInstalled()
{
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/");
    return QFileInfo::exists(plugins + QStringLiteral("libqwayland-generic.so"));
}

bool xReachable()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    const bool reached = x && !xcb_connection_has_error(x);
    xcb_disconnect(x);
    return reached;
}

// The display platform the tray starts on: the one given, else Qt's own
// choice where both sessions answer, else the one that does (a Wayland
// session whose XWayland refuses connections, an X session). Empty when the
// platform is Qt's to choose; nothing when no display can be reached (a
// shell over SSH), where QApplication would abort with a message about
// plugins.
std::optional<QByteArray> displayPlatform()
{
    const QByteArray given = qgetenv("QT_QPA_PLATFORM");
    if (!given.isEmpty()) {
        const bool wantsX = given.startsWith("xcb");
        const bool wantsWayland = given.startsWith("wayland");
        if ((wantsX && !xReachable()) || (wantsWayland && !Clipboard::waylandSession()))
            return std::nullopt;
        return QByteArray();
    }
    const bool wayland = Clipboard::waylandSession() && waylandPluginInstalled();
    const bool x = xReachable();
    if (wayland && x)
        return QByteArray();
    if (wayland)
        return QByteArray("wayland");
    if (x)
        return QByteArray("xcb");
    return std::nullopt;
}

} // namespace

TrayService::TrayService(AppController& controller, QObject* parent) : QObject(parent), m_controller(controller)
{
    connect(&controller, &AppController::commandProgress, this,
            [this](const QString& verb, int index, int count, const FileRef& item) {
                Q_EMIT Progress(verb, index, count, QString::fromLatin1(item.uri()));
            });
}

TrayService::~TrayService()
{
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QString::fromLatin1(kBusName));
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
}

TrayService::Registration TrayService::registerOnBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return Registration::NoBus;
    if (instanceRunning(bus))
        return Registration::AlreadyRunning;
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this,
                            QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals))
        return Registration::NoBus;
    if (!bus.registerService(QString::fromLatin1(kBusName))) {
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return instanceRunning(bus) ? Registration::AlreadyRunning : Registration::NoBus;
    }
    m_registered = true;
    return Registration::Registered;
}

void TrayService::ShowMenu()
{
    // Answered at once; the menu opens once the burst this call is part of
    // has been taken in.
    m_controller.requestMenuAtPointer();
}

void TrayService::SetSelection(const QStringList& uris)
{
    QList<QByteArray> files;
    files.reserve(uris.size());
    for (const QString& uri : uris)
        files.append(uri.toUtf8());
    m_controller.handOver(files);
}

void TrayService::Quit()
{
    QTimer::singleShot(0, &m_controller, [c = &m_controller] { c->selItemQuit(); });
}

int TrayService::Run(const QString& command, const QStringList& uris, const QVariantMap& options, QStringList& messages)
{
    if (!calledFromDBus())
        return 2;
    const auto refuse = [this](const QString& why) {
        sendErrorReply(QDBusError::InvalidArgs, why);
        return 2;
    };
    // The session bus is the user's own; a caller of another user (a bus
    // opened up by its configuration) is not served.
    const QDBusReply<uint> uid = connection().interface()->serviceUid(message().service());
    if (!uid.isValid() || uid.value() != ::getuid()) {
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Pictomat serves only its own user"));
        return 2;
    }
    QString error;
    bool interactive = false;
    const std::optional<CommandRequest> request = requestFromBus(command, uris, options, m_controller.context().desktop,
                                                                 m_controller.context().graphics, &interactive, &error);
    if (!request)
        return refuse(error);
    // An interactive caller (a file-manager entry) has its alerts shown here,
    // as from the menu, and hears of them as well.
    const AppController::Alerts alerts = interactive ? AppController::Alerts::Record : AppController::Alerts::Collect;
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    // Queued behind whatever runs, and started once this call has returned.
    QTimer::singleShot(0, &m_controller, [c = &m_controller, request = *request, alerts, call, bus]() mutable {
        c->runCommand(request, alerts, [call, bus](const QStringList& messages) mutable {
            bus.send(call.createReply({messages.isEmpty() ? 0 : 1, messages}));
        });
    });
    messages.clear();
    return 0;
}

int RunTrayProgram(int argc, char** argv, prefs::PreferenceStore& preferences, std::function<void()> preferencesOpener)
{
    if (qEnvironmentVariableIsSet("PICTOMAT_DETACHED")) {
        // Started by a file-manager action: outlive the action's session.
        ::setsid();
        qunsetenv("PICTOMAT_DETACHED");
    }
    // Whoever started us may close our output; diagnostics must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    const std::optional<QByteArray> platform = displayPlatform();
    if (!platform) {
        std::fprintf(stderr,
                     "pictomat: the tray needs a graphical session and no display can be reached here; "
                     "\"pictomat run COMMAND FILE...\" works without one\n");
        return 1;
    }
    // Given as an argument, not in the environment the programs we start
    // inherit.
    std::vector<char*> arguments(argv, argv + argc);
    QByteArray platformOption("-platform");
    QByteArray platformName = *platform;
    if (!platformName.isEmpty()) {
        arguments.insert(arguments.begin() + 1, {platformOption.data(), platformName.data()});
    }
    int count = int(arguments.size());
    arguments.push_back(nullptr);

    QApplication app(count, arguments.data());
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("com.corvane.Pictomat"));

    SystemDesktop desktop(SystemDesktop::AlertStyle::Dialog);
    IconProvider icons;
    AppController controller(desktop, preferences, icons);
    controller.setPreferencesOpener(std::move(preferencesOpener));
    TrayService service(controller);
    switch (service.registerOnBus()) {
    case TrayService::Registration::AlreadyRunning:
        std::fprintf(stderr, "pictomat: Pictomat is already running\n");
        return 0;
    case TrayService::Registration::NoBus:
        std::fprintf(stderr, "pictomat: no session bus; the file-manager actions cannot reach this Pictomat\n");
        break;
    case TrayService::Registration::Registered: break;
    }
    QuitOnSignals quitOnSignals;
    controller.init();
    return app.exec();
}

int RunSelectVerb(int argc, char** argv, const QList<QByteArray>& files)
{
    QCoreApplication app(argc, argv);
    QString error;
    if (!Selection::RecordHandedOverSelection(files, &error)) {
        std::fprintf(stderr, "pictomat: %s\n", error.toUtf8().constData());
        return 1;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && instanceRunning(bus)) {
        QDBusMessage call = instanceCall("SetSelection");
        call << busUris(files);
        bus.call(call, QDBus::Block, kCallTimeoutMs);
    }
    return 0;
}

namespace {

// The running instance, started when none runs: false, with a line on
// standard error, when it cannot be reached.
bool reachInstance(QDBusConnection& bus, const QStringList& instanceArguments, const char* what)
{
    if (!bus.isConnected()) {
        std::fprintf(stderr, "pictomat: no session bus, so %s cannot be reached\n", what);
        return false;
    }
    if (!instanceRunning(bus) && !(startInstance(bus, instanceArguments) && waitForInstance(bus))) {
        std::fprintf(stderr, "pictomat: Pictomat could not be started\n");
        return false;
    }
    return true;
}

} // namespace

int RunMenuVerb(int argc, char** argv, const QList<QByteArray>& files, const QStringList& instanceArguments)
{
    QCoreApplication app(argc, argv);
    if (!files.isEmpty()) {
        QString error;
        if (!Selection::RecordHandedOverSelection(files, &error)) {
            std::fprintf(stderr, "pictomat: %s\n", error.toUtf8().constData());
            return 1;
        }
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!reachInstance(bus, instanceArguments, "the Pictomat menu"))
        return 1;
    // The opening rebuilds the menu from the files recorded above.
    const QDBusMessage reply = bus.call(instanceCall("ShowMenu"), QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "pictomat: %s\n", reply.errorMessage().toUtf8().constData());
        return 1;
    }
    return 0;
}

int RunInTrayVerb(int argc, char** argv, const Command& command, const QString& operand, const QList<QByteArray>& files,
                  const QStringList& instanceArguments)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!reachInstance(bus, instanceArguments, "the running Pictomat"))
        return 1;
    QVariantMap options{{QStringLiteral("interactive"), true}};
    if (command.operand == Operand::Exporter)
        options.insert(QStringLiteral("extension"), operand);
    else if (command.operand == Operand::IconSize)
        options.insert(QStringLiteral("size"), operand.toInt());
    if (const qsizetype alpha = instanceArguments.indexOf(QStringLiteral("-alpha")); alpha >= 0)
        options.insert(QStringLiteral("alpha"), instanceArguments.value(alpha + 1).toDouble());
    QDBusMessage call = instanceCall("Run");
    call << QString::fromLatin1(command.verb) << busUris(files) << options;
    // The answer comes when the command has ended, however long it works.
    const QDBusMessage reply = bus.call(call, QDBus::Block, std::numeric_limits<int>::max());
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "pictomat: %s\n", reply.errorMessage().toUtf8().constData());
        return reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs") ? 2 : 1;
    }
    const QList<QVariant> answer = reply.arguments();
    // The alerts were shown by the tray; they are said here too, for a shell.
    for (const QString& message : answer.value(1).toStringList())
        std::fprintf(stderr, "pictomat: %s\n", message.toUtf8().constData());
    return answer.value(0).toInt();
}

} // namespace pictomat
