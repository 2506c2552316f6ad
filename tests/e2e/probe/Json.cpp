#include "Json.h"

#include <cstdio>

namespace probe {

std::string JsonQuote(std::wstring_view text) {
    std::string quoted = "\"";
    for (wchar_t ch : text) {
        const auto code = static_cast<unsigned>(static_cast<uint16_t>(ch));
        if (ch == L'"' || ch == L'\\') {
            quoted += '\\';
            quoted += static_cast<char>(ch);
        } else if (code >= 0x20 && code < 0x7F) {
            quoted += static_cast<char>(ch);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", code);
            quoted += escape;
        }
    }
    return quoted + "\"";
}

void JsonObject::Key(std::string_view key) {
    if (!m_body.empty())
        m_body += ',';
    m_body += '"';
    m_body += key;
    m_body += "\":";
}

JsonObject& JsonObject::Text(std::string_view key, std::wstring_view value) {
    Key(key);
    m_body += JsonQuote(value);
    return *this;
}

JsonObject& JsonObject::Ascii(std::string_view key, std::string_view value) {
    return Text(key, std::wstring(value.begin(), value.end()));
}

JsonObject& JsonObject::Int(std::string_view key, int64_t value) {
    Key(key);
    m_body += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
    Key(key);
    m_body += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Object(std::string_view key, const JsonObject& value) {
    Key(key);
    m_body += value.Str();
    return *this;
}

JsonObject& JsonObject::Array(std::string_view key, const JsonArray& value) {
    Key(key);
    m_body += value.Str();
    return *this;
}

JsonObject& JsonObject::Merge(const JsonObject& other) {
    if (!other.m_body.empty()) {
        if (!m_body.empty())
            m_body += ',';
        m_body += other.m_body;
    }
    return *this;
}

void JsonArray::Separate() {
    if (!m_body.empty())
        m_body += ',';
}

JsonArray& JsonArray::Add(const JsonObject& value) {
    Separate();
    m_body += value.Str();
    return *this;
}

JsonArray& JsonArray::AddText(std::wstring_view value) {
    Separate();
    m_body += JsonQuote(value);
    return *this;
}

JsonArray& JsonArray::AddInt(int64_t value) {
    Separate();
    m_body += std::to_string(value);
    return *this;
}

} // namespace probe
