#pragma once
// Splits a fuzzer's bytes into the values a target needs. Reading past the end gives zeros and
// empty texts, so every input is a valid one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_pos >= m_size; }

    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    uint32_t Uint32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<uint32_t>(Byte()) << (8 * i);
        return value;
    }

    // A length byte, then that many bytes.
    std::vector<uint8_t> Bytes() {
        const size_t length = Byte();
        std::vector<uint8_t> bytes;
        while (bytes.size() < length && !Empty())
            bytes.push_back(Byte());
        return bytes;
    }

    // A text of UTF-16 code units: a length byte (doubled when the top bit is set), then two bytes
    // a unit. Surrogates, zeros and control characters all come through.
    std::wstring Text() {
        size_t length = Byte();
        if (length & 0x80)
            length = (length & 0x7F) * 4;
        std::wstring text;
        while (text.size() < length && !Empty()) {
            const uint32_t low = Byte();
            const uint32_t high = Byte();
            text.push_back(static_cast<wchar_t>(low | high << 8));
        }
        return text;
    }

    // Everything not read yet.
    std::vector<uint8_t> Rest() {
        std::vector<uint8_t> rest(m_data + (m_pos < m_size ? m_pos : m_size), m_data + m_size);
        m_pos = m_size;
        return rest;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// A property of the code under test failed: report it and stop, so the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
