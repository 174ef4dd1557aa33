#include "app/IconVerbs.h"

#include "files/FileIO.h"
#include "files/FileRef.h"
#include "files/Translations.h"
#include "output/OutputFolder.h"

#include <cstdio>

namespace pictomat::iconverbs {

namespace {

// The options and operands after the form's word, or nothing when an option
// is not the form's or lacks its value.
std::optional<Arguments> readOptions(const QList<QByteArray>& words, const Form& form)
{
    Arguments args;
    args.form = form.word;
    bool options = true;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QByteArray& word = words[i];
        if (options && word == "--") {
            options = false;
        } else if (options && form.force && word == "--force") {
            args.force = true;
        } else if (options && form.iconset && word == "--iconset") {
            args.iconset = true;
        } else if (options && form.name && word == "--name") {
            // Its value is the next word, whatever it looks like.
            if (args.name || i + 1 >= words.size())
                return std::nullopt;
            args.name = words[++i];
        } else if (options && word.startsWith('-') && word.size() > 1) {
            return std::nullopt;
        } else {
            args.operands.append(word);
        }
    }
    const qsizetype count = args.operands.size();
    if (count < form.operands || (count > form.operands && !form.moreOperands))
        return std::nullopt;
    return args;
}

} // namespace

std::optional<Arguments> parse(const QList<QByteArray>& words, const QVector<Form>& forms, const QString& usage)
{
    for (const QByteArray& word : words) {
        if (word == "--")
            break;
        if (word == "--help" || word == "-h") {
            std::fputs(usage.toUtf8().constData(), stdout);
            Arguments help;
            help.help = true;
            return help;
        }
    }
    for (const Form& form : forms) {
        if (words.isEmpty() || words.first() != form.word)
            continue;
        if (std::optional<Arguments> args = readOptions(words.mid(1), form))
            return args;
        break;
    }
    std::fputs(usage.toUtf8().constData(), stderr);
    return std::nullopt;
}

void complain(const QByteArray& name, const QString& message)
{
    std::fprintf(stderr, "pictomat: %s: %s\n", name.constData(), message.toLocal8Bit().constData());
}

void notAnIconName(const QByteArray& name)
{
    const QString message = Translated("CommandLine", QT_TRANSLATE_NOOP("CommandLine",
                                                                        "\"%1\" is no icon name (letters, digits, '-', "
                                                                        "'_' and '.'; \"%2\" would be)"))
                                .arg(QString::fromUtf8(name), QString::fromUtf8(SafeIconName(name)));
    std::fprintf(stderr, "pictomat: %s\n", message.toUtf8().constData());
}

bool writeOutput(const QByteArray& path, const QByteArray& bytes, bool force)
{
    const FileRef target = FileRef::fromLocalPath(path);
    Error error;
    bool existed = false;
    const bool written =
        force ? WriteFileAtomically(target, bytes, &error) : WriteNewFileAtomically(target, bytes, &error, &existed);
    if (existed)
        complain(path,
                 Translated("CommandLine",
                            QT_TRANSLATE_NOOP("CommandLine", "already exists; not replaced (--force replaces it)")));
    else if (!written)
        complain(path, error.message);
    return written;
}

QList<QPair<QByteArray, QByteArray>> PlainlyNamed(const FoundPictures& found)
{
    QList<QPair<QByteArray, QByteArray>> named;
    for (const auto& [name, png] : found.first) {
        if (!name.isEmpty() && !name.contains('/') && !name.contains('\0') && name != "." && name != "..")
            named.append({name, png});
    }
    return named;
}

} // namespace pictomat::iconverbs
