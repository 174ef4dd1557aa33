#include "app/HelpText.h"
#include "app/IcoCommand.h"
#include "app/IconVerbs.h"
#include "commands/AppIcons.h"
#include "files/FileRef.h"
#include "files/Translations.h"
#include "output/OutputFolder.h"

#include <QColor>

#include <cstdio>

namespace pictomat {

using namespace iconverbs;

namespace {

int usage(const QString& problem = {})
{
    if (!problem.isEmpty())
        std::fprintf(stderr, "pictomat: %s\n", problem.toLocal8Bit().constData());
    std::fputs(help::AppIcons().toUtf8().constData(), stderr);
    return 2;
}

// A further picture named by an option: it must be something to read.
bool setPicture(FileRef* picture, const QByteArray& path)
{
    *picture = FileRef::fromLocalPath(path);
    return !path.isEmpty();
}

} // namespace

int RunAppIconsCommand(const QList<QByteArray>& operands)
{
    AppIconRequest request;
    std::optional<QByteArray> name;
    bool force = false;
    bool platformsGiven = false;
    QList<QByteArray> files;
    for (qsizetype i = 0; i < operands.size(); ++i) {
        const QByteArray& word = operands[i];
        if (word == "--") {
            files += operands.mid(i + 1);
            break;
        }
        if (word == "--help" || word == "-h") {
            std::fputs(help::AppIcons().toUtf8().constData(), stdout);
            return 0;
        }
        if (!word.startsWith("--") || word == "-") {
            files.append(word);
            continue;
        }
        if (word == "--force" || word == "--macos-shape") {
            (word == "--force" ? force : request.macosShape) = true;
            continue;
        }
        if (i + 1 >= operands.size())
            return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "%1 needs a value"))
                             .arg(QString::fromUtf8(word)));
        const QByteArray value = operands[++i];
        QString error;
        if (word == "--platforms" && !platformsGiven) {
            const std::optional<QList<AppPlatform>> platforms = ParseAppPlatforms(value, &error);
            if (!platforms)
                return usage(error);
            request.platforms = *platforms;
            platformsGiven = true;
        } else if (word == "--background") {
            const QColor colour(QString::fromUtf8(value));
            if (!colour.isValid())
                return usage(Translated("CommandLine",
                                        QT_TRANSLATE_NOOP("CommandLine",
                                                          "\"%1\" is no colour (a name such as white, or #RRGGBB)"))
                                 .arg(QString::fromUtf8(value)));
            request.background = colour.toRgb();
            request.background.setAlpha(255);
        } else if (word == "--name" && !name) {
            name = value;
        } else if ((word == "--dark" && setPicture(&request.dark, value))
                   || (word == "--tinted" && setPicture(&request.tinted, value))
                   || (word == "--monochrome" && setPicture(&request.monochrome, value))) {
            continue;
        } else {
            return usage(Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine", "unknown or repeated option %1"))
                             .arg(QString::fromUtf8(word)));
        }
    }
    if (files.size() != 2)
        return usage();
    const FileRef source = FileRef::fromLocalPath(files[0]);
    if (name && SafeIconName(*name) != *name) {
        notAnIconName(*name);
        return 2;
    }
    request.name = name.value_or(IconThemeName(source.name()));
    QString why;
    const std::optional<QVector<OutputDirectory::File>> output = AppIconFiles(source, request, &why);
    if (!output) {
        complain(files[0], why);
        return 1;
    }
    return writeFiles(files[1], *output, force);
}

} // namespace pictomat
