#include "integration/FileManagerActions.h"

#include "commands/Command.h"
#include "commands/CommandTexts.h"

#include <QCoreApplication>

namespace pictomat {

namespace {
const QString kMenuId = QStringLiteral("menu");
} // namespace

QList<FileManagerAction> FileManagerActions(prefs::PreferenceStore& store, const ExporterList& exporters)
{
    QList<FileManagerAction> actions;
    actions.append(
        {.id = kMenuId,
         .title = QCoreApplication::translate("Integration", "Pictomat Menu..."),
         .comment = QCoreApplication::translate("Integration", "Show the Pictomat menu for the selected files"),
         .arguments = {QStringLiteral("menu")}});
    for (const Command& command : Commands()) {
        // Only what works on the selected files and is offered in the menu.
        if (!command.needsFiles || !Offered(store, command))
            continue;
        const QStringList run = {QStringLiteral("run"), QStringLiteral("--tray"), QString::fromLatin1(command.verb)};
        if (command.operand == Operand::None && command.place == MenuPlace::SelectionCommands) {
            actions.append({.id = QString::fromLatin1(command.verb),
                            .title = CommandTitle(command),
                            .comment = CommandToolTip(command),
                            .arguments = run});
            continue;
        }
        if (command.operand != Operand::Exporter || !command.fileManagerFormats)
            continue;
        const QStringList formats = QString::fromLatin1(command.fileManagerFormats).split(' ', Qt::SkipEmptyParts);
        for (const QString& extension : formats) {
            const ExporterInfo* exporter = MatchExporterExtension(exporters, extension);
            if (!exporter)
                continue;
            actions.append(
                {.id = QString::fromLatin1(command.verb) + QLatin1Char('-') + extension,
                 .title =
                     QCoreApplication::translate("Integration", "Export Icon as %1").arg(exporter->descriptionString),
                 .comment = QCoreApplication::translate("Integration", "Save the icon of each file as a %1 image.")
                                .arg(exporter->descriptionString),
                 .arguments = run + QStringList{extension}});
        }
    }
    return actions;
}

QString FlatTitle(const FileManagerAction& action)
{
    if (action.id == kMenuId)
        return QStringLiteral("Pictomat");
    return QStringLiteral("Pictomat: ") + action.title;
}

} // namespace pictomat
