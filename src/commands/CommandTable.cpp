#include "commands/Command.h"

#include "commands/AppIcons.h"
#include "commands/ClipboardCommands.h"
#include "commands/CommandServices.h"
#include "commands/ExportImage.h"
#include "commands/ItemOperations.h"
#include "commands/MakeIconLoop.h"
#include "commands/PlatformIcons.h"
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

void setIconSize(CommandContext& context, const CommandRequest& request, const CommandSettings&)
{
    if (!request.options.iconSize)
        return;
    prefs::PreferenceStore& store = context.preferences;
    store.setValue(QString::fromLatin1(prefs::key::IconSize), QVariant::fromValue(qint64(*request.options.iconSize)));
    store.synchronize();
}

} // namespace

const QVector<Command>& Commands()
{
    namespace key = prefs::key;
    static const QVector<Command> table = {
        {.id = CommandId::MakeIconForFile,
         .verb = "make-icon",
         .title = QT_TRANSLATE_NOOP("Command", "Make Icon for File"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Make an ICNS file for the file's icon."),
         .offeredBy = key::IncludeMakeIcons,
         .needsFiles = true,
         .handler = &MakeIconForFile},
        {.id = CommandId::MakeIconForMedia,
         .verb = "make-media-icon",
         .title = QT_TRANSLATE_NOOP("Command", "Make Icon for Media"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Make an ICNS file for the file's data."),
         .offeredBy = key::IncludeMakeIcons,
         .needsFiles = true,
         .readsContents = true,
         .handler = &MakeIconForMedia},
        {.id = CommandId::MakeWindowsIconForMedia,
         .verb = "make-media-ico",
         .title = QT_TRANSLATE_NOOP("Command", "Make Windows Icon for Media"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Make a Windows ICO file for the file's data."),
         .offeredBy = key::IncludeMakeWindowsIcon,
         .offeredWhenUnset = false,
         .menuGroup = key::IncludeMakeIcons,
         .needsFiles = true,
         .readsContents = true,
         .handler = &MakeWindowsIconForMedia},
        {.id = CommandId::MakeLinuxIconSetForMedia,
         .verb = "make-media-icon-set",
         .title = QT_TRANSLATE_NOOP("Command", "Make Linux Icon Set for Media"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Make a folder of Linux icon theme pictures for the file's data."),
         .offeredBy = key::IncludeMakeLinuxIconSet,
         .offeredWhenUnset = false,
         .menuGroup = key::IncludeMakeIcons,
         .needsFiles = true,
         .readsContents = true,
         .handler = &MakeLinuxIconSetForMedia},
        {.id = CommandId::MakeAppIconsForMedia,
         .verb = "make-media-app-icons",
         .title = QT_TRANSLATE_NOOP("Command", "Make App Icons for Media"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Make the app icons of every platform for the file's data."),
         .offeredBy = key::IncludeMakeAppIcons,
         .offeredWhenUnset = false,
         .menuGroup = key::IncludeMakeIcons,
         .needsFiles = true,
         .readsContents = true,
         .handler = &MakeAppIconsForMedia},
        {.id = CommandId::CopyIconForFile,
         .verb = "copy-icon",
         .title = QT_TRANSLATE_NOOP("Command", "Copy Icon for File"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Copy the file's icon image to the clipboard."),
         .offeredBy = key::IncludeCopyIcon,
         .needsFiles = true,
         .needsDisplay = true,
         .handler = &CopyIconForFile},
        {.id = CommandId::AddShortcutIcon,
         .verb = "add-shortcut-icon",
         .title = QT_TRANSLATE_NOOP("Command", "Add Shortcut Icon"),
         .toolTip =
             QT_TRANSLATE_NOOP("Command", "Add an icon to the web location's file using its associated \"favicon\"."),
         .offeredBy = key::IncludeWebIcon,
         .needsFiles = true,
         .readsContents = true,
         .handler = &AddShortcutIconsCommand},
        {.id = CommandId::AddCustomIconFromClipboard,
         .verb = "paste-icon",
         .title = QT_TRANSLATE_NOOP("Command", "Add Custom Icon from Clipboard"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Add a custom icon to the file from an image on the clipboard."),
         .offeredBy = key::IncludeClipToIcon,
         .needsFiles = true,
         .needsDisplay = true,
         .readsContents = true,
         .handler = &AddCustomIconFromClipboard},
        {.id = CommandId::AddCustomIconToMedia,
         .verb = "add-media-icon",
         .title = QT_TRANSLATE_NOOP("Command", "Add Custom Icon to Media"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Add a custom icon to the file from the file's image data."),
         .offeredBy = key::IncludeAddCustomIcon,
         .needsFiles = true,
         .readsContents = true,
         .handler = &AddCustomIconsToMedia},
        {.id = CommandId::RemoveCustomIcon,
         .verb = "remove-icon",
         .title = QT_TRANSLATE_NOOP("Command", "Remove Custom Icon"),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Removes any custom icon for the file."),
         .offeredBy = key::IncludeRemoveCustomIcon,
         .needsFiles = true,
         .handler = &RemoveCustomIcons},
        {.id = CommandId::SetIconSize,
         .verb = "set-icon-size",
         .title = QT_TRANSLATE_NOOP("Command", "Icon Sizes"),
         .offeredBy = key::IncludeChangeIconSizes,
         .offeredWhenUnset = false,
         .place = MenuPlace::IconSizes,
         .operand = Operand::IconSize,
         .needsFiles = false,
         .handler = &setIconSize},
        {.id = CommandId::ExportImage,
         .verb = "export",
         .place = MenuPlace::Exporters,
         .operand = Operand::Exporter,
         .needsFiles = true,
         .fileManagerFormats = "png jpg tif webp bmp ico",
         .handler = &ExportIconImages},
        {.id = CommandId::GoToFolder,
         .verb = "go-to-folder",
         .title = QT_TRANSLATE_NOOP("Command", "Go to Pictomat folder..."),
         .toolTip = QT_TRANSLATE_NOOP("Command", "Open the output folder in the Finder."),
         .place = MenuPlace::FixedItems,
         .needsFiles = false,
         .handler = &goToFolder},
    };
    return table;
}

bool SetOperandFromText(const Command& command, const QString& text, const ExporterList& exporters,
                        CommandOptions* options, QString* error)
{
    switch (command.operand) {
    case Operand::None: return true;
    case Operand::Exporter: {
        const ExporterInfo* exporter = MatchExporterExtension(exporters, text);
        // The formats' long names are what people type as often as the
        // extensions the exporters are listed under.
        if (!exporter && text.compare(QLatin1String("jpeg"), Qt::CaseInsensitive) == 0)
            exporter = MatchExporterExtension(exporters, QStringLiteral("jpg"));
        if (!exporter && text.compare(QLatin1String("tiff"), Qt::CaseInsensitive) == 0)
            exporter = MatchExporterExtension(exporters, QStringLiteral("tif"));
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

bool Offered(prefs::PreferenceStore& store, const Command& command)
{
    if (!command.offeredBy)
        return true;
    return prefs::GetBooleanPreference(store, command.offeredBy, command.offeredWhenUnset);
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
