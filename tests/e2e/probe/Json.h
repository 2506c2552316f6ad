#pragma once
// One JSON object per command result. Text is written as ASCII with \u escapes for everything
// else, so the output reads the same whatever code page the console or the pipe assumes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace probe {

class JsonArray;

class JsonObject {
public:
    JsonObject& Text(std::string_view key, std::wstring_view value);
    JsonObject& Ascii(std::string_view key, std::string_view value);
    JsonObject& Int(std::string_view key, int64_t value);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Object(std::string_view key, const JsonObject& value);
    JsonObject& Array(std::string_view key, const JsonArray& value);
    // Appends every field of another object.
    JsonObject& Merge(const JsonObject& other);
    std::string Str() const { return "{" + m_body + "}"; }

private:
    void Key(std::string_view key);
    std::string m_body;
};

class JsonArray {
public:
    JsonArray& Add(const JsonObject& value);
    JsonArray& AddText(std::wstring_view value);
    JsonArray& AddInt(int64_t value);
    std::string Str() const { return "[" + m_body + "]"; }
    bool Empty() const { return m_body.empty(); }

private:
    void Separate();
    std::string m_body;
};

std::string JsonQuote(std::wstring_view text);

} // namespace probe
