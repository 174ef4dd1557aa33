#pragma once

#include "files/FileRef.h"
#include "image/Exporters.h"

#include <QString>
#include <QStringView>
#include <QVector>

#include <optional>

namespace pictomat {

struct CommandContext;
struct CommandRequest;
struct CommandSettings;
namespace prefs {
class PreferenceStore;
}

// The commands' identifiers. The named commands keep the numbers their menu
// items have always been tagged with.
enum class CommandId : int {
    ExportImage = 1,
    GoToFolder = 1007,
    MakeIconForFile = 1009,
    MakeIconForMedia = 1010,
    AddCustomIconToMedia = 1011,
    CopyIconForFile = 1013,
    AddCustomIconFromClipboard = 1014,
    AddShortcutIcon = 1015,
    RemoveCustomIcon = 1016,
    MakeWindowsIconForMedia = 1017,
    MakeLinuxIconSetForMedia = 1018,
    MakeAppIconsForMedia = 1019,
    SetIconSize = 2001,
};

// Where a command appears in the status menu.
enum class MenuPlace {
    SelectionCommands, // under the selection's header, grouped by the preference that offers them
    IconSizes,         // the "Icon Sizes" group, one item per size
    Exporters,         // one item per image exporter, after the commands
    FixedItems,        // beside "Preferences...", with or without a selection
};

// What a command needs beyond its items.
enum class Operand {
    None,
    Exporter, // the image format to export to
    IconSize, // the size to store
};

using CommandHandler = void (*)(CommandContext& context, const CommandRequest& request,
                                const CommandSettings& settings);

// Everything about one command, for the menu, the command line and D-Bus alike.
// Rows name their fields (.needsFiles = true), so the defaults here are what a
// row leaves out.
struct Command {
    CommandId id;
    const char* verb;       // its name on the command line and over D-Bus
    const char* title = ""; // its menu title; empty where the menu titles each exporter or size
    const char* toolTip = "";
    const char* offeredBy = nullptr; // the preference that puts it in the menu; null when always there
    bool offeredWhenUnset = true;    // what an unset preference means
    // The preference whose group of the menu it joins, when not its own:
    // commands offered by preferences of their own can still stand with
    // their kin, between the same separators.
    const char* menuGroup = nullptr;
    MenuPlace place = MenuPlace::SelectionCommands;
    Operand operand = Operand::None;
    bool needsFiles = true;     // does nothing without a selection
    bool needsDisplay = false;  // works with the clipboard, so only in a graphical session
    bool readsContents = false; // decodes what its items hold, in the reading worker
    // For a command with an exporter operand: the extensions (space-separated)
    // that get an entry of their own in the file managers' menus.
    const char* fileManagerFormats = nullptr;
    CommandHandler handler = nullptr;
};

// What a command is asked to do beyond its items.
struct CommandOptions {
    std::optional<ExporterInfo> exporter; // Operand::Exporter
    std::optional<int> iconSize;          // Operand::IconSize
    // The background's alpha for this command, before the "alpha" default.
    std::optional<float> alpha;
    // For the app icons, before what the preferences say: the platforms
    // (as ParseAppPlatforms takes them) and the macOS shape.
    std::optional<QByteArray> platforms;
    std::optional<bool> macosShape;
    // A shell's choices for this run, over the preferences: whether outputs
    // are opened and revealed, and an absolute folder they all go to.
    std::optional<bool> openImageFile;
    std::optional<bool> openImageFolder;
    std::optional<QString> outputFolder;
};

// Every command, in menu order.
const QVector<Command>& Commands();
const Command* FindCommand(CommandId id);
const Command* FindCommandByVerb(QStringView verb);
// Whether the menu offers the command now: its preference as stored, or what
// an unset one means.
bool Offered(prefs::PreferenceStore& store, const Command& command);

// Fills the command's operand from its text form (an exporter's extension,
// an icon size), as the command line and D-Bus give it. False, with a message
// saying why, when the text names nothing usable.
bool SetOperandFromText(const Command& command, const QString& text, const ExporterList& exporters,
                        CommandOptions* options, QString* error);

// The sizes the "Icon Sizes" group offers.
inline constexpr int kMenuIconSizes[] = {16, 32, 48, 64, 128, 256, 512};

// One command to run: the menu, "pictomat run" and D-Bus all make one of
// these from the table and hand it to the dispatcher.
struct CommandRequest {
    const Command* command = nullptr;
    SelectedItems items;
    CommandOptions options;
};

} // namespace pictomat
