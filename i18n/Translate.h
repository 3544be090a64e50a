#pragma once
// Looks application texts up in the "pathlark" catalogue explicitly: once the
// toolkit's loop runs, the current text domain is the toolkit's own, so a
// plain gettext() would no longer find our translations. It lives below
// track/, map/, view/ and app/ so that all of them can use it.

#include <libintl.h>

namespace pathlark {

inline const char* tr(const char* messageId)
{
    return dgettext("pathlark", messageId);
}

// Marks a text for the catalogue where it is written down, when tr() is
// applied only where it is shown (lists, tables, builder arguments).
constexpr const char* N_(const char* messageId)
{
    return messageId;
}

} // namespace pathlark
