#pragma once
// Our own POSIX strptime. The C library's version differs between systems
// (glibc reads signs and leading blanks, others do not), and GPX times must
// read the same everywhere.

#include <ctime>

namespace pathlark {

// Matches `text` against `format` and writes the fields the format names into
// `tm`; other fields are left alone, so the caller initialises them. Returns
// the position after the last character consumed, or null on a mismatch.
//
// Conversions: %Y %C %y %m %d %e %H %k %I %l %M %S %j %w %U %W %p %a %A %b %B
// %h %D %x %R %T %X %r %n %t %%, each optionally preceded by E or O. Numbers
// are digits only, read no further than the field's upper bound allows, and
// must lie within its bounds. A white-space character in the format skips any
// white space in the text.
//
// It lives in this namespace because libc declares a ::strptime with the same
// parameters; call it qualified.
const char* strptime(const char* text, const char* format, std::tm* tm);

} // namespace pathlark
