#pragma once
#include <string>

// A log line as it may be shown: every control character (line breaks and tabs included) and every
// Unicode line or paragraph separator becomes "?", and so does a surrogate that is no half of a
// pair (a byte of a host name that is not UTF-8), so a name can neither split a line nor forge one.
std::wstring VisibleLogText(const std::wstring& text);
