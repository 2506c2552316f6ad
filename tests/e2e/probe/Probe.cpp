#include "Probe.h"

#include <cstdarg>
#include <cwchar>

namespace probe {

Status Status::Fail(const wchar_t* format, ...) {
    wchar_t buffer[2048];
    va_list args;
    va_start(args, format);
    std::vswprintf(buffer, sizeof buffer / sizeof buffer[0], format, args);
    va_end(args);
    return Status{false, buffer};
}

std::optional<int64_t> ParseNumber(const std::wstring& word) {
    if (word.empty())
        return std::nullopt;
    const bool negative = word[0] == L'-';
    const std::wstring digits = negative ? word.substr(1) : word;
    const bool hex = digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X');
    const std::wstring body = hex ? digits.substr(2) : digits;
    if (body.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (wchar_t ch : body) {
        int digit = -1;
        if (ch >= L'0' && ch <= L'9')
            digit = ch - L'0';
        else if (hex && ch >= L'a' && ch <= L'f')
            digit = ch - L'a' + 10;
        else if (hex && ch >= L'A' && ch <= L'F')
            digit = ch - L'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    }
    return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

static int HexDigit(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return -1;
}

std::wstring DecodeText(const std::wstring& word) {
    if (word.rfind(L"hex:", 0) != 0)
        return word;
    std::string bytes;
    for (size_t i = 4; i + 1 < word.size(); i += 2) {
        const int high = HexDigit(word[i]);
        const int low = HexDigit(word[i + 1]);
        if (high < 0 || low < 0)
            return word;
        bytes += static_cast<char>(high * 16 + low);
    }
    if (bytes.empty())
        return L"";
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

std::wstring HexHandle(HWND window) {
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return buffer;
}

std::wstring Args::Text(size_t index) const {
    return Has(index) ? DecodeText(m_words[index]) : std::wstring();
}

std::optional<int64_t> Args::Number(size_t index) const {
    return Has(index) ? ParseNumber(m_words[index]) : std::nullopt;
}

int64_t Args::NumberOr(size_t index, int64_t fallback) const {
    return Number(index).value_or(fallback);
}

std::optional<std::wstring> Args::Option(const wchar_t* name) const {
    const std::wstring prefix = std::wstring(name) + L"=";
    for (const auto& word : m_words) {
        if (word.rfind(prefix, 0) == 0)
            return DecodeText(word.substr(prefix.size()));
    }
    return std::nullopt;
}

std::optional<int64_t> Args::NumberOption(const wchar_t* name) const {
    const auto value = Option(name);
    return value ? ParseNumber(*value) : std::nullopt;
}

bool Args::Flag(const wchar_t* word) const {
    for (const auto& each : m_words) {
        if (each == word)
            return true;
    }
    return false;
}

std::wstring WindowClass(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring WindowTitle(HWND window) {
    // GetWindowTextW reads another process's top-level caption without sending it a message.
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    return title;
}

JsonObject RectJson(const RECT& rect) {
    JsonObject json;
    json.Int("left", rect.left).Int("top", rect.top).Int("right", rect.right).Int("bottom", rect.bottom);
    json.Int("width", rect.right - rect.left).Int("height", rect.bottom - rect.top);
    return json;
}

namespace {

struct Search {
    const Target* target;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMatch(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    const Target& target = *search.target;
    if (!target.className.empty() && WindowClass(window) != target.className)
        return TRUE;
    if (WindowTitle(window) != target.title)
        return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (target.processId != 0 && processId != target.processId)
        return TRUE;
    search.found.push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> FindTargets(const Target& target) {
    if (target.kind == Target::Kind::Handle) {
        if (IsWindow(target.handle))
            return {target.handle};
        return {};
    }
    Search search{&target, {}};
    EnumWindows(CollectMatch, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

Status ResolveTarget(const Context& context, HWND& window) {
    const auto found = FindTargets(context.target);
    if (found.empty())
        return Status::Fail(L"no window \"%ls\" of class %ls", context.target.title.c_str(),
                            context.target.className.c_str());
    if (found.size() > 1)
        return Status::Fail(L"%zu windows \"%ls\"; choose one with 'target hwnd' or 'target pid'",
                            found.size(), context.target.title.c_str());
    window = found.front();
    return Status::Ok();
}

Status ResolveControl(const Context& context, int64_t id, HWND& control) {
    HWND window = nullptr;
    if (Status status = ResolveTarget(context, window); !status.ok)
        return status;
    if (id == 0) {
        control = window;
        return Status::Ok();
    }
    control = GetDlgItem(window, static_cast<int>(id));
    if (control == nullptr)
        return Status::Fail(L"no control %lld in %ls", static_cast<long long>(id), HexHandle(window).c_str());
    return Status::Ok();
}

std::optional<LRESULT> SendTimed(UINT timeoutMs, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

std::optional<LRESULT> SendTimed(const Context& context, HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
    return SendTimed(context.messageTimeoutMs, window, message, wParam, lParam);
}

} // namespace probe
