#include "app/IcnsCommand.h"

#include "app/HelpText.h"
#include "app/IconVerbs.h"
#include "files/FileIO.h"
#include "files/FileRef.h"
#include "icns/Contents.h"
#include "icns/IconFamily.h"
#include "image/MediaIcons.h"

#include <QCoreApplication>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace pictomat {

namespace {

using namespace iconverbs;

// The family in the file. A file cut short is damaged: what could be read
// is still listed or saved, and *damaged makes the tool fail.
std::optional<icns::IconFamily> readFamily(const QByteArray& path, bool* damaged)
{
    Error readError;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, icns::kMaxIcnsFileSize, &readError);
    if (!bytes) {
        complain(path, QCoreApplication::translate("CommandLine", "cannot read: %1").arg(readError.message));
        return std::nullopt;
    }
    QString error;
    std::optional<icns::IconFamily> family = icns::IconFamily::fromIcns(*bytes, &error, damaged);
    if (!family)
        complain(path, error);
    else if (*damaged)
        complain(path, QCoreApplication::translate("CommandLine", "the file is damaged: %1").arg(error));
    else if (!error.isEmpty())
        complain(path, QCoreApplication::translate("CommandLine", "warning: %1").arg(error));
    return family;
}

int list(const QByteArray& path)
{
    bool damaged = false;
    const std::optional<icns::IconFamily> family = readFamily(path, &damaged);
    if (!family)
        return 1;
    // Each element's size is told by decoding it.
    using Rows = QList<QStringList>;
    const std::optional<Rows> rows = Confined<Rows>(path, [&family] {
        Rows listed;
        for (const icns::ElementRow& row : icns::ListElements(*family))
            listed.append({icns::OSTypeToString(row.type), QString::number(row.bytes), row.holds});
        return listed;
    });
    if (!rows)
        return 1;
    for (const QStringList& row : *rows) {
        if (row.size() == 3)
            std::printf("%-10s %9lld  %s\n", row[0].toLocal8Bit().constData(), row[1].toLongLong(),
                        row[2].toLocal8Bit().constData());
    }
    return damaged ? 1 : 0;
}

int extract(const Arguments& args)
{
    const QByteArray& path = args.operands[0];
    const QByteArray& folder = args.operands[1];
    bool damaged = false;
    const std::optional<icns::IconFamily> family = readFamily(path, &damaged);
    if (!family)
        return 1;
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) {
        complain(
            folder,
            QCoreApplication::translate("CommandLine", "cannot create the folder: %1").arg(SystemErrorText(errno)));
        return 1;
    }
    if (!FileRef::fromLocalPath(folder).isDirectory()) {
        complain(folder, QCoreApplication::translate("CommandLine", "not a folder"));
        return 1;
    }
    const auto found = ConfinedPictures<icns::NamedPng>(path, [&family, &args](QStringList* skipped) {
        return args.iconset ? icns::IconsetPictures(*family, skipped) : icns::PicturesAsPng(*family);
    });
    if (!found)
        return 1;
    const auto& [pictures, skipped] = *found;
    for (const QString& picture : skipped)
        complain(path, QCoreApplication::translate("CommandLine", "%1 has no iconset name; not saved").arg(picture));
    if (pictures.isEmpty()) {
        complain(path, QCoreApplication::translate("CommandLine", "no picture to save"));
        return 1;
    }
    int status = damaged ? 1 : 0;
    for (const icns::NamedPng& picture : pictures) {
        const QByteArray target = folder + (folder.endsWith('/') ? "" : "/") + picture.name;
        if (!writeOutput(target, picture.png, args.force)) {
            status = 1;
            continue;
        }
        std::printf("%s\n", target.constData());
    }
    return status;
}

int create(const Arguments& args)
{
    const QByteArray& output = args.operands[0];
    const QList<QByteArray> inputs = args.operands.mid(1);
    std::optional<icns::IconFamily> family;
    QString error;
    if (inputs.size() == 1 && FileRef::fromLocalPath(inputs[0]).isDirectory()) {
        family = IconFamilyFromIconsetFolder(FileRef::fromLocalPath(inputs[0]).path(), &error);
        if (!family) {
            complain(inputs[0], error);
            return 1;
        }
    } else {
        QVector<icns::NamedPng> files;
        for (const QByteArray& input : inputs) {
            Error readError;
            const std::optional<QByteArray> bytes = ReadRegularFile(input, icns::kMaxIcnsFileSize, &readError);
            if (!bytes) {
                complain(input, QCoreApplication::translate("CommandLine", "cannot read: %1").arg(readError.message));
                return 1;
            }
            files.append(icns::NamedPng{input, *bytes});
        }
        family = icns::FamilyFromPngs(files, false, &error);
        if (!family) {
            std::fprintf(stderr, "pictomat: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
    }
    const QByteArray bytes = family->toIcns();
    if (bytes.isEmpty()) {
        complain(output, QCoreApplication::translate("CommandLine", "the icon family is too large to write"));
        return 1;
    }
    return writeOutput(output, bytes, args.force) ? 0 : 1;
}

} // namespace

int RunIcnsCommand(const QList<QByteArray>& operands)
{
    const std::optional<Arguments> args = parse(operands,
                                                {{.word = "list", .operands = 1, .force = false},
                                                 {.word = "extract", .operands = 2, .iconset = true},
                                                 {.word = "create", .operands = 2, .moreOperands = true}},
                                                help::Icns());
    if (!args)
        return 2;
    if (args->help)
        return 0;
    if (args->form == "list")
        return list(args->operands[0]);
    if (args->form == "extract")
        return extract(*args);
    return create(*args);
}

} // namespace pictomat
