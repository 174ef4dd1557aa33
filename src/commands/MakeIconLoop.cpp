#include "commands/MakeIconLoop.h"

#include "image/BackgroundBitmap.h"
#include "commands/CommandIds.h"
#include "commands/CommandServices.h"
#include "platform/CustomIcons.h"
#include "platform/FileIO.h"
#include "commands/ExportImage.h"
#include "platform/IconProvider.h"
#include "commands/ItemOperations.h"
#include "image/MediaIcons.h"
#include "output/OutputFolder.h"
#include "prefs/Preferences.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictomat {

namespace {

void outputFileFailure(CommandContext& context)
{
    ShowStandardAlert(context, QStringLiteral("The output file could not be created."),
                      QStringLiteral("Check that a file by the same name does not already exist or is not open."));
}

// "Make Icon for File": the item's icon as the file manager shows it, at every size.
void makeIconFileFromItemIcon(CommandContext& context, const FileRef& output)
{
    if (!context.currentItem.exists())
        return;
    const std::optional<IconProvider::Icon> icon = IconProvider::shared().iconFor(context.currentItem);
    if (!icon) {
        ShowStandardAlert(context, QStringLiteral("The files icon could not be found."));
        return;
    }
    const icns::IconFamily family = IconFamilyForItemIcon(*icon);
    if (family.isEmpty()) {
        ShowStandardAlert(context, QStringLiteral("The icon family could not be created."));
        return;
    }
    WriteIconFamilyToOutput(family, output);
}

// "Make Icon for Media": the item's own picture, movie poster or icon family.
void makeIconFileFromMedia(CommandContext& context, const FileRef& output)
{
    const QString noIcon = QStringLiteral("The icon could not be obtained from the file.");
    const FileRef& item = context.currentItem;
    if (!item.exists()) {
        ShowStandardAlert(context, noIcon);
        return;
    }
    std::optional<icns::IconFamily> family;
    if (HasImageImporter(item.path()))
        family = IconFamilyFromImage(item.path());
    else if (CurrentItemIsIcnsFile(item))
        family = IconFamilyFromIcnsFile(item.path());
    else
        family = IconFamilyFromMoviePoster(item.path());
    if (!family) {
        ShowStandardAlert(context, QStringLiteral("The icon family could not be created."));
        ShowStandardAlert(context, noIcon);
        return;
    }
    // The family written is what the icon layer makes of the rendered one, so
    // it goes through the codec both ways; an empty family is no icon at all.
    if (family->isEmpty()) {
        ShowStandardAlert(context, noIcon);
        return;
    }
    const std::optional<icns::IconFamily> written = icns::IconFamily::fromIcns(family->toIcns());
    if (!written) {
        ShowStandardAlert(context, noIcon);
        return;
    }
    if (written->isEmpty())
        return;
    WriteIconFamilyToOutput(*written, output);
}

void openStep(CommandContext& context, const FileRef& output)
{
    struct stat st;
    if (::lstat(output.c_path(), &st) != 0)
        return;
    context.lastOutputFile = output;
    if (prefs::GetBooleanPreference(prefs::key::OpenImageFileForMe))
        OpenWithLaunchServices(context, context.lastOutputFile);
}

} // namespace

bool CurrentItemIsIcnsFile(const FileRef& item)
{
    const QByteArray name = item.name();
    const int dot = name.lastIndexOf('.');
    if (dot <= 0 || dot == name.size() - 1)
        return false;
    return name.mid(dot + 1).toLower() == "icns";
}

bool CreateOutputFile(CommandContext& context, const FileRef& folder, const QByteArray& name, FileRef* output)
{
    const FileRef target = folder.child(name);
    if (target.isEmpty()) {
        outputFileFailure(context);
        return false;
    }
    struct stat st;
    if (::lstat(target.c_path(), &st) == 0) {
        if (!prefs::GetBooleanPreference(prefs::key::OverwriteFilesBySameName)) {
            ShowStandardAlert(context, QStringLiteral("The file already exists."),
                              QStringLiteral("Select the option to overwrite files by same name to avoid this issue."));
            return false;
        }
        // The replacement is a new file: it must not show the custom icon
        // recorded for the one it replaces, a record that is kept by path and
        // outlives a plain unlink.
        if (S_ISREG(st.st_mode))
            CustomIcons::removeCustomIcon(target);
        if (::unlink(target.c_path()) != 0 && errno != ENOENT) {
            outputFileFailure(context);
            return false;
        }
    } else if (errno != ENOENT) {
        outputFileFailure(context);
        return false;
    }
    const int fd = ::open(target.c_path(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        outputFileFailure(context);
        return false;
    }
    ::close(fd);
    NotifyFinderOfChange(target);
    *output = target;
    return true;
}

bool WriteIconFamilyToOutput(const icns::IconFamily& family, const FileRef& output)
{
    FileRef written = output;
    const QByteArray name = output.name();
    // Written beside the output and renamed onto it, so the output is always
    // either the complete family or the empty file the loop created.
    if (!WriteFileAtomically(output, family.toIcns()))
        return false;
    RenameItem(&written, name);
    ClearFinderFileType(written);
    ClearFinderFileCreator(written);
    NotifyFinderOfChange(written);
    return true;
}

void RunMakeIconLoop(CommandContext& context, int tag)
{
    // The count is read again on every round, as the selection may be replaced.
    for (qint32 i = 0; context.selectedItems.items && i < context.selectedItems.count; ++i) {
        if (i >= context.selectedItems.items->size())
            break;
        context.currentItem = context.selectedItems.items->at(i);
        if (tag == kCommandAddCustomIconToMedia) {
            SetCustomIconFromImageFile(context, context.currentItem);
            continue;
        }
        if (!IconProvider::shared().iconFor(context.currentItem)) {
            ShowStandardAlert(context, QStringLiteral("An icon for the file could not be found."));
            continue;
        }
        const QByteArray itemName = context.currentItem.name();
        if (itemName.isEmpty())
            continue;
        QByteArray outputName;
        const bool isExport = tag >= 1 && tag <= context.exporterList.size();
        if (tag == kCommandMakeIconForFile || tag == kCommandMakeIconForMedia) {
            outputName = IcnsOutputName(itemName);
        } else if (isExport) {
            outputName = ExportOutputName(itemName, context.exporterList.at(tag - 1).extensionString,
                                          prefs::GetBooleanPreference(prefs::key::AppendIconSize),
                                          prefs::GetIconSizePreference());
        } else {
            continue;
        }
        const FileRef folder = ResolveOutputFolder(context.currentItem);
        FileRef output;
        if (!CreateOutputFile(context, folder, outputName, &output))
            continue;
        if (tag == kCommandMakeIconForFile)
            makeIconFileFromItemIcon(context, output);
        else if (tag == kCommandMakeIconForMedia)
            makeIconFileFromMedia(context, output);
        else
            ExportIconImage(context, tag, output);
        openStep(context, output);
    }
}

} // namespace pictomat
