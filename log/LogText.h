#pragma once
#include <string>

// A log line as it may be shown: every control character (line breaks and tabs included) and every
// Unicode line or paragraph separator becomes "?", so a name can neither split a line nor forge one.
std::wstring VisibleLogText(const std::wstring& text);
