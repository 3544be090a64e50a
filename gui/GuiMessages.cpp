#include "gui/GuiMessages.h"

#include "gui/GuiDataFiles.h"

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <libintl.h>
#include <system_error>

namespace {

bool isPlainC(std::string_view locale)
{
    return locale == "C" || locale == "POSIX";
}

} // namespace

std::string_view chooseMessageLanguage(const char* messagesLocale, const char* languageList)
{
    const std::string_view locale = messagesLocale ? messagesLocale : "C";
    if (isPlainC(locale))
        return "en";
    std::string_view first = languageList && *languageList ? languageList : locale;
    first = first.substr(0, first.find(':'));
    const bool german = first.starts_with("de") && (first.size() == 2 || std::strchr("_.@", first[2]));
    return german ? "de" : "en";
}

void setupToolkitLocale()
{
    setlocale(LC_ALL, "");
    if (isPlainC(setlocale(LC_CTYPE, nullptr)))
        setlocale(LC_CTYPE, "C.UTF-8");
    // Absolute: gettext remembers a missing catalogue by its path, and a
    // relative one would name another file after a change of directory.
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(dataFilePath("data/locale"), ec);
    if (!ec && std::filesystem::is_directory(dir, ec))
        bindtextdomain("framewerk", dir.c_str());
    bind_textdomain_codeset("framewerk", "UTF-8");

    const std::string_view language = chooseMessageLanguage(setlocale(LC_MESSAGES, nullptr), getenv("LANGUAGE"));
    // gettext ignores LANGUAGE in the plain C locale; C.UTF-8 is the same
    // locale with the catalogues switched on.
    if (language == "en" && isPlainC(setlocale(LC_MESSAGES, nullptr)))
        setlocale(LC_MESSAGES, "C.UTF-8");
    setenv("LANGUAGE", std::string(language).c_str(), 1);
    // Last: textdomain also tells gettext to forget the translations it has
    // looked up so far, which a change of LANGUAGE alone would not.
    textdomain("framewerk");
}

void guiDebug(const char* format, ...)
{
    const char* flag = getenv("FRAMEWERK_DEBUG");
    if (!flag || std::strcmp(flag, "1") != 0)
        return;
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);  // seen as it happens, also when standard output is a file
}
