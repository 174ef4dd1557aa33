#include "commands/MakeIconLoop.h"

#include "commands/CommandServices.h"
#include "commands/FailureCause.h"
#include "commands/ItemOperations.h"
#include "commands/Log.h"
#include "files/OutputDirectory.h"
#include "files/OutputFile.h"
#include "image/BackgroundBitmap.h"
#include "image/MediaIcons.h"
#include "worker/ReadingWorker.h"
#include "output/OutputFolder.h"
#include "platform/ItemIcon.h"

#include <QCoreApplication>

#include <memory>

namespace pictomat {

namespace {

void outputFileFailure(CommandContext& context, const QString& cause)
{
    ShowItemAlert(context, QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The output file could not be created.")), cause,
                  QStringLiteral(QT_TRANSLATE_NOOP(
                      "Alert", "Check that a file by the same name does not already exist or is not open.")));
}

// Replacing is off: the setting is what to change.
void fileExists(CommandContext& context, const FileRef& output)
{
    ShowItemAlert(context, QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The file already exists.")),
                  cause::outputTaken(output),
                  QStringLiteral(QT_TRANSLATE_NOOP(
                      "Alert", "Select the option to overwrite files by same name to avoid this issue.")));
}

// Replacing is on, yet what has the name could not be moved aside: the
// setting would change nothing.
void fileKept(CommandContext& context)
{
    ShowItemAlert(context, QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The file already exists.")), cause::noTrash(),
                  QStringLiteral(QT_TRANSLATE_NOOP(
                      "Alert", "The file of the same name could not be moved aside to the Trash, so it was kept.")));
}

QByteArray icnsOutputName(const QByteArray& itemName, const CommandRequest&, const CommandSettings&)
{
    return IcnsOutputName(itemName);
}

// "Make Icon for File": the item's icon as the file manager shows it, at every size.
void fillFromItemIcon(CommandContext& context, const CommandRequest&, const CommandSettings&, const MakeIconItem& job)
{
    if (!job.item.exists()) {
        job.output.fail(QStringLiteral(QT_TRANSLATE_NOOP("Cause", "the item is gone")));
        return;
    }
    // The family does not depend on the background: one per icon.
    const RenderedIcon& rendered = job.rendered.get(job.icon, BackgroundColor{}, [&job] {
        RenderedIcon made;
        made.family = IconFamilyForItemIcon(job.icon);
        if (made.family.isEmpty())
            made.status = RenderedIcon::Status::DrawsNothing;
        return made;
    });
    if (!rendered.made()) {
        ShowItemAlert(context, QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The icon family could not be created.")),
                      cause::iconDrawsNothing());
        return;
    }
    WriteIconFamilyToOutput(context, rendered.family, job.output);
}

// "Make Icon for Media": the item's own picture, movie poster or icon family
// (an .icns file, or an .iconset folder's pictures).
void fillFromMedia(CommandContext& context, const CommandRequest&, const CommandSettings&, const MakeIconItem& job)
{
    const QString noIcon = QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The icon could not be obtained from the file."));
    const FileRef& item = job.item;
    if (!item.exists()) {
        ShowItemAlert(context, noIcon, MissingItemCause(context));
        return;
    }
    // The item's bytes decide, not its name: an icon file renamed, or a
    // picture named like an icon file, is what it holds. A folder counts by
    // its name: an .iconset's pictures are its family.
    std::optional<icns::IconFamily> family;
    QString why;
    if (item.isDirectory() && item.name().toLower().endsWith(".iconset")) {
        family = IconFamilyFromIconsetFolder(item.path(), &why);
        if (!family)
            qCWarning(lcCommands).noquote() << QStringLiteral("Pictomat: %1: %2").arg(item.displayPath(), why);
    } else {
        PictureStatus status = PictureStatus::NotAPicture;
        family = ReadIconFamilyFromMedia(item.path(), &status);
        why = cause::ofPicture(status);
    }
    if (!family) {
        ShowItemAlert(context, QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The icon family could not be created.")),
                      why);
        ShowItemAlert(context, noIcon, why);
        return;
    }
    // An empty family is no icon at all, and neither is one too large for
    // the format.
    if (family->isEmpty() || family->toIcnsPieces().pieces.isEmpty()) {
        ShowItemAlert(context, noIcon, cause::iconFileHoldsNothing());
        return;
    }
    WriteIconFamilyToOutput(context, *family, job.output);
}

// After the work: an output left unwritten is given up and reported; a
// written one is this item's, to be opened and revealed (true).
bool finishItem(CommandContext& context, const CommandSettings& settings, Output& output, int alertsBefore)
{
    if (!output.isWritten()) {
        output.fail(output.failure().isEmpty()
                        ? QStringLiteral(QT_TRANSLATE_NOOP("Cause", "nothing could be made for it"))
                        : output.failure());
        ReportFailedOutput(context, output.target(), output.failure(), context.alertsShown != alertsBefore);
        return false;
    }
    context.lastOutputFile = output.target();
    if (context.onOutputWritten)
        context.onOutputWritten(output.target());
    if (settings.openImageFile)
        OpenWithLaunchServices(context, context.lastOutputFile);
    return true;
}

// The alerts and log lines of an output's start; true when the work may go on.
bool outputBegun(CommandContext& context, const FileRef& target, const QByteArray& name, Output::Begin begun,
                 const Error& error)
{
    switch (begun) {
    case Output::Begin::Fresh:
    case Output::Begin::Replacing: return true;
    case Output::Begin::Exists: fileExists(context, target); return false;
    case Output::Begin::NoTrash:
        qCWarning(lcCommands).noquote()
            << QStringLiteral("Pictomat: %1 is kept: %2").arg(target.displayPath(), error.message);
        fileKept(context);
        return false;
    case Output::Begin::Failed: break;
    }
    qCWarning(lcCommands).noquote() << QStringLiteral("Pictomat: the output file %1 could not be created: %2")
                                           .arg(target.isEmpty() ? QString::fromUtf8(name) : target.displayPath(),
                                                error.message);
    outputFileFailure(context, cause::ofError(error));
    return false;
}

// The alert of an output that could not take its name; true when written.
bool outputWritten(CommandContext& context, const Output& output, Output::Result result, const Error& error)
{
    switch (result) {
    case Output::Result::Written: return true;
    case Output::Result::Exists: fileExists(context, output.target()); break;
    case Output::Result::NoTrash: fileKept(context); break;
    case Output::Result::NotTrashed:
        ShowItemAlert(context, QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The output file could not be created.")),
                      cause::ofError(error),
                      QStringLiteral(QT_TRANSLATE_NOOP(
                          "Alert", "The old file of the same name could not be moved to the Trash and was kept.")));
        break;
    case Output::Result::Failed: break;
    }
    return false;
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

bool BeginOutput(CommandContext& context, const CommandSettings& settings, const FileRef& folder,
                 const QByteArray& name, Output& output)
{
    const FileRef target = folder.child(name);
    Error error;
    return outputBegun(context, target, name, output.begin(target, settings.overwriteFilesBySameName, &error), error);
}

bool WriteOutput(CommandContext& context, Output& output, const QVector<Output::Part>& parts)
{
    Error error;
    const Output::Result result = output.write(parts, &error);
    return outputWritten(context, output, result, error);
}

bool WriteOutput(CommandContext& context, Output& output, const QByteArray& bytes)
{
    return WriteOutput(context, output, QVector<QByteArrayView>{QByteArrayView(bytes)});
}

bool WriteOutput(CommandContext& context, Output& output, const QVector<QByteArrayView>& pieces)
{
    return WriteOutput(context, output, QVector<Output::Part>{Output::Part{{}, pieces}});
}

bool WriteIconFamilyToOutput(CommandContext& context, const icns::IconFamily& family, Output& output)
{
    // Written in pieces: joined, a family of large pictures would be made a
    // second time in memory only to be written.
    const icns::IconFamily::IcnsPieces file = family.toIcnsPieces();
    if (file.pieces.isEmpty()) {
        output.fail(QStringLiteral(QT_TRANSLATE_NOOP("Cause", "the icon family holds nothing that can be written")));
        return false;
    }
    if (!WriteOutput(context, output, file.pieces))
        return false;
    ClearFinderFileType(output.target());
    ClearFinderFileCreator(output.target());
    NotifyFinderOfChange(output.target());
    return true;
}

void RunMakeIconLoop(CommandContext& context, const CommandRequest& request, const CommandSettings& settings,
                     const MakeIconWork& work)
{
    const SelectedItems& selection = request.items;
    if (!selection.items)
        return;
    bool wroteOutput = false;
    RenderedIcons rendered(context);
    ForEachItem(context, selection, [&](const FileRef& item) {
        context.currentItem = item;
        std::optional<IconProvider::Icon> icon;
        if (work.usesIcon)
            icon = context.icons.iconFor(item);
        else if (context.icons.hasIcon(item))
            icon = IconProvider::Icon();
        if (!icon) {
            ShowItemAlert(context,
                          QStringLiteral(QT_TRANSLATE_NOOP("Alert", "An icon for the file could not be found.")),
                          MissingItemCause(context));
            return;
        }
        const QByteArray outputName = work.outputName(OutputBaseName(item), request, settings);
        if (outputName.isEmpty()) {
            ShowStandardAlert(context,
                              QStringLiteral(QT_TRANSLATE_NOOP("Alert", "The output file could not be created.")));
            return;
        }
        const FileRef folder = ResolveOutputFolder(item, settings.folders);
        std::unique_ptr<Output> output;
        if (work.makesFolder)
            output = std::make_unique<OutputDirectory>();
        else
            output = std::make_unique<OutputFile>();
        if (!BeginOutput(context, settings, folder, outputName, *output))
            return;
        const int alertsBefore = context.alertsShown;
        work.fill(context, request, settings, MakeIconItem{item, *icon, *output, rendered});
        const bool made = finishItem(context, settings, *output, alertsBefore);
        wroteOutput = made || wroteOutput;
    });
    // One file-manager window: the reveal opens the folder with the last
    // output selected (or just its folder where no file manager can select).
    // Only when nothing was written does the folder open on its own: the one
    // this command's first output would have landed in.
    if (!settings.openImageFolder)
        return;
    if (wroteOutput)
        RevealLastOutputFile(context);
    else
        OpenOutputFolder(context, selection.items->value(0), settings.folders);
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
