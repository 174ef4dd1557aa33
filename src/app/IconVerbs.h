#pragma once

#include "files/OutputDirectory.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

#include <optional>

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

} // namespace iconverbs

} // namespace pictomat
