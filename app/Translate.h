#pragma once
// Looks application texts up in the "pathlark" catalogue explicitly: once the
// toolkit's loop runs, the current text domain is the toolkit's own, so a
// plain gettext() would no longer find our translations.

#include <libintl.h>

namespace pathlark {

inline const char* tr(const char* messageId)
{
    return dgettext("pathlark", messageId);
}

} // namespace pathlark
