#pragma once

#include "commands/FailureCause.h"
#include "files/OutputDirectory.h"
#include "worker/Sandbox.h"

#include <QDataStream>
#include <QIODevice>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

#include <functional>
#include <optional>
#include <utility>

namespace pictomat {

// What the icon-file tools ("pictomat icns", "ico", "iconset", "hicolor")
// share: how their words are read, their messages and their outputs' rules.
namespace iconverbs {

// One form of a tool: the word that names it ("list", "extract", "create"),
// the options it takes and how many operands.
struct Form {
    const char* word;
    int operands;              // how many it needs
    bool moreOperands = false; // whether more may follow
    bool force = true;         // --force: replace what has an output's name
    bool iconset = false;      // --iconset: pictures under .iconset names
    bool name = false;         // --name NAME
};

struct Arguments {
    QByteArray form;
    bool force = false;
    bool iconset = false;
    std::optional<QByteArray> name;
    QList<QByteArray> operands;
    // "--help" or "-h" came before "--": the usage went to standard output
    // and the tool ends with status 0.
    bool help = false;
};

// Reads a tool's words, those after its own name as the shell gave them: a
// form's word, then its options anywhere before "--" and its operands (a
// lone "-" is one). Nothing, with the usage on standard error, when they fit
// none of the forms; the tool then exits with status 2.
// A request for help anywhere before "--" is answered with the usage.
std::optional<Arguments> parse(const QList<QByteArray>& words, const QVector<Form>& forms, const QString& usage);

// "pictomat: NAME: message", the name as the shell gave it.
void complain(const QByteArray& name, const QString& message);

// Says on standard error that `name` cannot name an icon, and what would.
void notAnIconName(const QByteArray& name);

// Writes `bytes` as `path`, never through what has the name: a new file is
// renamed into place, and without force nothing that exists is replaced.
// Says why on standard error when it fails.
bool writeOutput(const QByteArray& path, const QByteArray& bytes, bool force);

// Each file under the folder by writeOutput, the folders on its path made as
// needed, and its path printed once written; 1 when any failed, else 0.
int writeFiles(const QByteArray& folder, const QVector<OutputDirectory::File>& files, bool force);

// Pictures found in an icon file, each a file's name and its PNG bytes, and
// what could not be made of its elements.
using FoundPictures = QPair<QList<QPair<QByteArray, QByteArray>>, QStringList>;
// The found pictures whose names are plain file names: what a confined child
// answers is checked as any input is.
QList<QPair<QByteArray, QByteArray>> PlainlyNamed(const FoundPictures& found);

// What `work` makes of an icon file's elements, made in a confined child
// of this process (see worker::RunConfined): a PNG or JPEG 2000 element that
// crashes, holds or exhausts its decoder costs the tool that file alone.
// Nothing when the child failed, said for `path` on standard error with the
// cause. What comes back is only ever copied or printed, never decoded.
template <typename T>
std::optional<T> Confined(const QByteArray& path, const std::function<T()>& work)
{
    PictureStatus why = PictureStatus::Damaged;
    const std::optional<QByteArray> bytes = worker::RunConfined(
        [&work] {
            QByteArray out;
            QDataStream stream(&out, QIODevice::WriteOnly);
            stream << work();
            return out;
        },
        &why);
    T value;
    if (bytes) {
        QDataStream stream(*bytes);
        stream >> value;
        if (stream.status() == QDataStream::Ok && stream.atEnd())
            return value;
    }
    complain(path, cause::ofPicture(bytes ? PictureStatus::Damaged : why));
    return std::nullopt;
}

// The pictures (each with a .name and its .png bytes) that `find` makes of
// an icon file's elements in a confined child, plainly named, and what it
// could not make of them; nothing when the child failed, said for `path`.
template <typename Named>
std::optional<std::pair<QVector<Named>, QStringList>> ConfinedPictures(
    const QByteArray& path, const std::function<QVector<Named>(QStringList* skipped)>& find)
{
    const std::optional<FoundPictures> found = Confined<FoundPictures>(path, [&find] {
        FoundPictures named;
        for (const Named& picture : find(&named.second))
            named.first.append({picture.name, picture.png});
        return named;
    });
    if (!found)
        return std::nullopt;
    std::pair<QVector<Named>, QStringList> pictures;
    for (const auto& [name, png] : PlainlyNamed(*found))
        pictures.first.append(Named{name, png});
    pictures.second = found->second;
    return pictures;
}

} // namespace iconverbs

} // namespace pictomat
