// Paths past MAX_PATH. A watched folder may be 260 characters long, so a
// picture's full path can exceed what the plain Win32 file calls accept;
// given in the "\\?\" form (or "\\?\UNC\" for a network path) they take up to
// 32,767 characters. Every file call of a scan passes its path through here.
#pragma once

#include <string>

// The path as a file call should be given it: unchanged while it is shorter
// than MAX_PATH, or when it already is a "\\?\" or "\\.\" path; otherwise made
// absolute and normal (as the plain calls would have made it) and put in its
// long form. Messages go on quoting the path as it was.
std::wstring LongPath(const std::wstring& path);
