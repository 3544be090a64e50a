#pragma once
// What the toolkit says: the language of its texts (and the application's),
// and its debug lines on standard output.

#include <string_view>

// "de" when the user's messages are German, else "en", the C/POSIX locale
// included. Decided as gettext does: the first entry of LANGUAGE, which
// gettext honours only outside the plain C locale, else the messages locale.
std::string_view chooseMessageLanguage(const char* messagesLocale, const char* languageList);

// Takes the user's locale, binds the toolkit's catalogue from the data folder
// "data/locale" and pins the process's message language to the choice above.
// The toolkit's message ids are German, so every other language needs its
// English catalogue, which gettext would otherwise never pick in the C locale
// nor for a language without a catalogue of its own. The plain C locale's
// character type becomes C.UTF-8 too: all our texts are UTF-8, and Xlib
// refuses anything else than ASCII in window titles under plain C.
void setupToolkitLocale();

// printf to standard output, only when the environment has FRAMEWERK_DEBUG=1.
void guiDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
