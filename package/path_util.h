// Path strings of the installer: byte strings in the ANSI code page whose only
// separator is the backslash.
#pragma once

#include <string>

// `directory` and `tail` joined by exactly one backslash. Trailing backslashes
// of `directory` and leading ones of `tail` are dropped; an empty `tail`
// returns `directory` unchanged.
std::string JoinPath(std::string directory, std::string tail);

// `path` from its first backslash (included) to the end; empty when there is
// no backslash.
std::string TailFromFirstBackslash(std::string path);
