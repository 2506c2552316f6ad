#include "cli/HostPaths.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <filesystem>

namespace {

// Host separators become the engine's, a name's own backslash its stand-in.
std::wstring EngineParts(const std::string& hostRest) {
    std::wstring parts = platform::FromHostName(hostRest);
    for (wchar_t& c : parts) {
        if (c == L'\\')
            c = platform::kHostBackslash;
        else if (c == L'/')
            c = L'\\';
    }
    return parts;
}

bool IsWordCharacter(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

} // namespace

std::string AbsoluteHostPath(const std::string& hostPath) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(hostPath, error);
    if (error)
        path = hostPath;
    std::string normal = path.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

HostPaths::HostPaths(wchar_t letter, std::string sourceFolder)
    : m_letter(letter), m_source(std::move(sourceFolder)) {}

std::wstring HostPaths::EnginePath(const std::string& hostPath) const {
    const std::string path = AbsoluteHostPath(hostPath);
    const std::wstring drive{m_letter, L':', L'\\'};
    if (m_source.empty())
        return L"\\\\" + EngineParts(path.substr(1));
    if (path == m_source)
        return drive;
    if (m_source != "/" && path.rfind(m_source + "/", 0) == 0)
        return drive + EngineParts(path.substr(m_source.size() + 1));
    if (m_source == "/" && path.size() > 1)
        return drive + EngineParts(path.substr(1));
    return L"\\\\" + EngineParts(path.substr(1));
}

std::string HostPaths::HostText(const std::wstring& text) const {
    const std::wstring source = m_source == "/" ? std::wstring() : platform::FromHostName(m_source);
    std::wstring host;
    host.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        const wchar_t c = text[at];
        const bool drive = !m_source.empty() && c == m_letter && at + 1 < text.size() &&
                           text[at + 1] == L':' && (at == 0 || !IsWordCharacter(text[at - 1]));
        if (drive) {
            host += source;
            ++at;
            if (at + 1 < text.size() && text[at + 1] == L'\\') {
                host += L'/';
                ++at;
            } else if (source.empty()) {
                host += L'/';
            }
        } else if (c == L'\\') {
            // "\\media" is "/media".
            if (at + 1 < text.size() && text[at + 1] == L'\\')
                ++at;
            host += L'/';
        } else if (c == platform::kHostBackslash) {
            host += L'\\';
        } else {
            host += c;
        }
    }
    return platform::ToHostName(host);
}
