// wide_names.h -- file names between the game's strings (UTF-8) and Windows' UTF-16 names.
// Portable (no Windows in it), so the unit tests check it; used by platform/win32/.
//
// Windows names are sequences of 16-bit units that need not be valid UTF-16: a lone surrogate
// is a legal character of a name. So the 8-bit form is WTF-8, UTF-8 that also carries lone
// surrogates as three bytes, and every name Windows gives comes back to the very same name.
#pragma once

#include <string>

// Returns `name` (WTF-8) as 16-bit units. A byte that starts no well-formed sequence becomes
// U+FFFD; such a name is one no Windows name turns into, so it names no file of ours.
std::u16string wide_name(const std::string& name);

// Returns the 16-bit units `name` as WTF-8: a surrogate pair as one four-byte character, a lone
// surrogate as three bytes.
std::string narrow_name(const std::u16string& name);
