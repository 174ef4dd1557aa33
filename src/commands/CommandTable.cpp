#include "commands/Command.h"

#include "commands/ClipboardCommands.h"
#include "commands/CommandServices.h"
#include "commands/ExportImage.h"
#include "commands/ItemOperations.h"
#include "commands/MakeIconLoop.h"
#include "commands/ShortcutIconCommand.h"
#include "prefs/PreferenceStore.h"
#include "prefs/Preferences.h"

namespace pictomat {

namespace {

void goToFolder(CommandContext& context, const CommandRequest&, const CommandSettings& settings)
{
    // Right after start-up no item was worked on: the image folder or the
    // default folder opens.
    OpenOutputFolder(context, context.currentItem, settings.folders);
}

void setIconSize(CommandContext&, const CommandRequest& request, const CommandSettings&)
{
    if (!request.options.iconSize)
        return;
    prefs::PreferenceStore& store = prefs::PreferenceStore::shared();
    store.setValue(QString::fromLatin1(prefs::key::IconSize), QVariant::fromValue(qint64(*request.options.iconSize)));
    store.synchronize();
}

} // namespace

const QVector<Command>& Commands()
{
    namespace key = prefs::key;
    using M = MenuPlace;
    using O = Operand;
    // id, verb, title, tool tip, offered by, offered when unset, place, operand,
    // needs files, needs a display, handler
    static const QVector<Command> table = {
        {CommandId::MakeIconForFile, "make-icon", "Make Icon for File", "Make an ICNS file for the file's icon.",
         key::IncludeMakeIcons, true, M::SelectionCommands, O::None, true, false, &MakeIconForFile},
        {CommandId::MakeIconForMedia, "make-media-icon", "Make Icon for Media", "Make an ICNS file for the file's data.",
         key::IncludeMakeIcons, true, M::SelectionCommands, O::None, true, false, &MakeIconForMedia},
        {CommandId::CopyIconForFile, "copy-icon", "Copy Icon for File", "Copy the file's icon image to the clipboard.",
         key::IncludeCopyIcon, true, M::SelectionCommands, O::None, true, true, &CopyIconForFile},
        {CommandId::AddShortcutIcon, "add-shortcut-icon", "Add Shortcut Icon",
         "Add an icon to the web location's file using its associated \"favicon\".", key::IncludeWebIcon, true,
         M::SelectionCommands, O::None, true, false, &AddShortcutIconsCommand},
        {CommandId::AddCustomIconFromClipboard, "paste-icon", "Add Custom Icon from Clipboard",
         "Add a custom icon to the file from an image on the clipboard.", key::IncludeClipToIcon, true,
         M::SelectionCommands, O::None, true, true, &AddCustomIconFromClipboard},
        {CommandId::AddCustomIconToMedia, "add-media-icon", "Add Custom Icon to Media",
         "Add a custom icon to the file from the file's image data.", key::IncludeAddCustomIcon, true,
         M::SelectionCommands, O::None, true, false, &AddCustomIconsToMedia},
        {CommandId::RemoveCustomIcon, "remove-icon", "Remove Custom Icon", "Removes any custom icon for the file.",
         key::IncludeRemoveCustomIcon, true, M::SelectionCommands, O::None, true, false, &RemoveCustomIcons},
        {CommandId::SetIconSize, "set-icon-size", "Icon Sizes", "", key::IncludeChangeIconSizes, false, M::IconSizes,
         O::IconSize, false, false, &setIconSize},
        {CommandId::ExportImage, "export", "", "", nullptr, true, M::Exporters, O::Exporter, true, false,
         &ExportIconImages},
        {CommandId::GoToFolder, "go-to-folder", "Go to Pictomat folder...", "Open the output folder in the Finder.",
         nullptr, true, M::FixedItems, O::None, false, false, &goToFolder},
    };
    return table;
}

bool SetOperandFromText(const Command& command, const QString& text, const ExporterList& exporters,
                        CommandOptions* options, QString* error)
{
    switch (command.operand) {
    case Operand::None:
        return true;
    case Operand::Exporter: {
        const ExporterInfo* exporter = MatchExporterExtension(exporters, text);
        if (!exporter) {
            *error = QStringLiteral("no image exporter writes \"%1\" (see \"pictomat formats\")").arg(text);
            return false;
        }
        options->exporter = *exporter;
        return true;
    }
    case Operand::IconSize: {
        bool ok = false;
        const int size = text.toInt(&ok);
        if (!ok || size < 16 || size > 1024) {
            *error = QStringLiteral("\"%1\" is no icon size (16 to 1024)").arg(text);
            return false;
        }
        options->iconSize = size;
        return true;
    }
    }
    return false;
}

const Command* FindCommand(CommandId id)
{
    for (const Command& command : Commands()) {
        if (command.id == id)
            return &command;
    }
    return nullptr;
}

const Command* FindCommandByVerb(QStringView verb)
{
    for (const Command& command : Commands()) {
        if (verb == QLatin1String(command.verb))
            return &command;
    }
    return nullptr;
}

} // namespace pictomat
