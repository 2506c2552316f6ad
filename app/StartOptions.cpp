#include "app/StartOptions.h"

#include <cwctype>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> SplitWords(std::wstring_view line) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool inWord = false;
    bool quoted = false;
    for (wchar_t ch : line) {
        if (ch == L'"') {
            quoted = !quoted;
            inWord = true;
            continue;
        }
        if (!quoted && std::iswspace(static_cast<wint_t>(ch))) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        word += ch;
        inWord = true;
    }
    if (inWord)
        words.push_back(word);
    return words;
}

bool IsTrayWord(const std::wstring& word) {
    if (word.size() != 5 || (word[0] != L'/' && word[0] != L'-'))
        return false;
    std::wstring rest;
    for (size_t i = 1; i < word.size(); ++i)
        rest += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(word[i])));
    return rest == L"tray";
}

} // namespace

StartOptions ParseStartOptions(std::wstring_view commandLine) {
    StartOptions options;
    for (const std::wstring& word : SplitWords(commandLine)) {
        if (IsTrayWord(word))
            options.inTray = true;
    }
    return options;
}
