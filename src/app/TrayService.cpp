#include "app/TrayService.h"

#include "app/AppController.h"
#include "app/Instance.h"
#include "commands/AppIcons.h"
#include "commands/Command.h"
#include "commands/ItemOperations.h"
#include "files/FileRef.h"
#include "platform/Desktop.h"
#include "prefs/StoredValue.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QTimer>

#include <cmath>
#include <unistd.h>

namespace pictomat {

namespace {

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
        } else if (command->id == CommandId::MakeAppIconsForMedia && it.key() == QLatin1String("platforms")
                   && value.typeId() == QMetaType::QString) {
            request.options.platforms = value.toString().toUtf8();
            if (!ParseAppPlatforms(*request.options.platforms, error))
                return std::nullopt;
        } else if (command->id == CommandId::MakeAppIconsForMedia && it.key() == QLatin1String("macos-shape")
                   && value.typeId() == QMetaType::Bool) {
            request.options.macosShape = value.toBool();
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
    if (InstanceRunning(bus))
        return Registration::AlreadyRunning;
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this,
                            QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals))
        return Registration::NoBus;
    if (!bus.registerService(QString::fromLatin1(kBusName))) {
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return InstanceRunning(bus) ? Registration::AlreadyRunning : Registration::NoBus;
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

void TrayService::ShowPreferences()
{
    QTimer::singleShot(0, &m_controller, [c = &m_controller] { c->selItemPreferences(); });
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

} // namespace pictomat
