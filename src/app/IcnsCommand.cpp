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
    for (const icns::ElementRow& row : icns::ListElements(*family))
        std::printf("%-10s %9lld  %s\n", icns::OSTypeToString(row.type).toLocal8Bit().constData(),
                    static_cast<long long>(row.bytes), row.holds.toLocal8Bit().constData());
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
    QStringList skipped;
    const QVector<icns::NamedPng> pictures =
        args.iconset ? icns::IconsetPictures(*family, &skipped) : icns::PicturesAsPng(*family);
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
