#include "commands/MakeIconLoop.h"

#include "commands/CommandServices.h"
#include "commands/ItemOperations.h"
#include "image/BackgroundBitmap.h"
#include "image/MediaIcons.h"
#include "output/OutputFolder.h"
#include "platform/CustomIcons.h"
#include "platform/FileIO.h"

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

QByteArray icnsOutputName(const QByteArray& itemName, const CommandRequest&, const CommandSettings&)
{
    return IcnsOutputName(itemName);
}

// "Make Icon for File": the item's icon as the file manager shows it, at every size.
void fillFromItemIcon(CommandContext& context, const CommandRequest&, const CommandSettings&,
                      const MakeIconItem& job)
{
    if (!job.item.exists())
        return;
    // The family does not depend on the background: one per icon.
    const RenderedIcon& rendered = job.rendered.get(job.icon, BackgroundColor{}, [&job] {
        RenderedIcon made;
        made.family = IconFamilyForItemIcon(job.icon);
        if (made.family.isEmpty())
            made.status = RenderedIcon::Status::DrawsNothing;
        return made;
    });
    if (!rendered.made()) {
        ShowStandardAlert(context, QStringLiteral("The icon family could not be created."));
        return;
    }
    WriteIconFamilyToOutput(rendered.family, job.output);
}

// "Make Icon for Media": the item's own picture, movie poster or icon family.
void fillFromMedia(CommandContext& context, const CommandRequest&, const CommandSettings&, const MakeIconItem& job)
{
    const QString noIcon = QStringLiteral("The icon could not be obtained from the file.");
    const FileRef& item = job.item;
    if (!item.exists()) {
        ShowStandardAlert(context, noIcon);
        return;
    }
    // The item's bytes decide, not its name: an icon file renamed, or a
    // picture named like an icon file, is what it holds.
    const std::optional<icns::IconFamily> family = IconFamilyFromMedia(item.path());
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
    WriteIconFamilyToOutput(*written, job.output);
}

void openStep(CommandContext& context, const CommandSettings& settings, const FileRef& output)
{
    struct stat st;
    if (::lstat(output.c_path(), &st) != 0)
        return;
    context.lastOutputFile = output;
    if (settings.openImageFile)
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

bool CreateOutputFile(CommandContext& context, const CommandSettings& settings, const FileRef& folder,
                      const QByteArray& name, FileRef* output)
{
    const FileRef target = folder.child(name);
    if (target.isEmpty()) {
        outputFileFailure(context);
        return false;
    }
    struct stat st;
    if (::lstat(target.c_path(), &st) == 0) {
        if (!settings.overwriteFilesBySameName) {
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
    // Written beside the output and renamed onto it, so the output is always
    // either the complete family or the empty file the loop created.
    const QByteArray bytes = family.toIcns();
    if (bytes.isEmpty() || !WriteFileAtomically(output, bytes))
        return false;
    ClearFinderFileType(output);
    ClearFinderFileCreator(output);
    NotifyFinderOfChange(output);
    return true;
}

void RunMakeIconLoop(CommandContext& context, const CommandRequest& request, const CommandSettings& settings,
                     const MakeIconWork& work)
{
    const SelectedItems& selection = request.items;
    if (!selection.items)
        return;
    const qint32 count = qMin<qint32>(selection.count, qint32(selection.items->size()));
    RenderedIcons rendered(context);
    // The folder that opens is the one this command's first output lands in.
    if (settings.openImageFolder)
        OpenOutputFolder(context, selection.items->value(0), settings.folders);
    for (qint32 i = 0; i < count; ++i) {
        const FileRef item = selection.items->at(i);
        if (!BeginItem(context, i + 1, count, item))
            break;
        context.currentItem = item;
        std::optional<IconProvider::Icon> icon;
        if (work.usesIcon)
            icon = IconProvider::shared().iconFor(item);
        else if (IconProvider::shared().hasIcon(item))
            icon = IconProvider::Icon();
        if (!icon) {
            ShowStandardAlert(context, QStringLiteral("An icon for the file could not be found."));
            continue;
        }
        const QByteArray itemName = item.name();
        if (itemName.isEmpty())
            continue;
        const QByteArray outputName = work.outputName(itemName, request, settings);
        if (outputName.isEmpty())
            continue;
        const FileRef folder = ResolveOutputFolder(item, settings.folders);
        FileRef output;
        if (!CreateOutputFile(context, settings, folder, outputName, &output))
            continue;
        work.fill(context, request, settings, MakeIconItem{item, *icon, output, rendered});
        openStep(context, settings, output);
    }
    if (settings.openImageFolder)
        RevealLastOutputFile(context);
}

void MakeIconForFile(CommandContext& context, const CommandRequest& request, const CommandSettings& settings)
{
    RunMakeIconLoop(context, request, settings, MakeIconWork{&icnsOutputName, &fillFromItemIcon});
}

void MakeIconForMedia(CommandContext& context, const CommandRequest& request, const CommandSettings& settings)
{
    RunMakeIconLoop(context, request, settings, MakeIconWork{&icnsOutputName, &fillFromMedia, false});
}

} // namespace pictomat
