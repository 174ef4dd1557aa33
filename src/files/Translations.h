#pragma once

#include <QString>

namespace pictomat {

// Loads Pictomat's catalogue and Qt's own (its standard buttons and dialogs)
// for the languages the user asked for (LANGUAGE, LC_ALL, LC_MESSAGES, LANG,
// as QLocale::system() reads them) into the running application. Runs as
// each application object starts; a language without a catalogue leaves the
// English texts.
void InstallTranslations();

// `text` of `context` in the user's language. Before an application object
// exists (a message said while the command line is read) the program's
// catalogue is asked directly; once one runs, its translators are. Texts
// handed here are marked with QT_TRANSLATE_NOOP where they are written.
QString Translated(const char* context, const char* text, const char* disambiguation = nullptr, int n = -1);

} // namespace pictomat
