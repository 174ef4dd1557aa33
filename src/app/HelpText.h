#pragma once

#include <QByteArray>
#include <QString>

namespace pictomat::help {

// The command line's help in the user's language. What the user types (verb
// and option names, FILE, DIR, KEY) stays as it is; the words that describe
// it are translated, each paragraph and each option's description one text,
// laid out here in columns and wrapped, so a translation of any length keeps
// the layout.

// "pictomat --help": the program's usage, its verbs and options, and the
// commands of "run".
QString Program();
// "pictomat run --help".
QString Run();
// "pictomat VERB --help" for the verbs that say no more than their help
// (select, menu, formats, preferences, defaults, integrate, autostart);
// empty for any other verb.
QString Verb(const QByteArray& verb);
// The forms of the icon-file tools and "appicons", for their --help and
// after a mistake.
QString Icns();
QString Ico();
QString Iconset();
QString Hicolor();
QString AppIcons();

} // namespace pictomat::help
