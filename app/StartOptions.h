#pragma once
// How the program was asked to start. The command line knows one word, "/tray": start with the
// dialog hidden and only the tray icon shown (the way "Start with Windows" starts it). Any other
// text is ignored.
#include <string_view>

struct StartOptions {
    bool inTray = false;

    bool operator==(const StartOptions&) const = default;
};

// The command line as the entry point gets it, without the program's name. Words are separated by
// blanks; double quotes group blanks into a word and are dropped. "/tray" and "-tray" count in any
// case.
StartOptions ParseStartOptions(std::wstring_view commandLine);
