// Link colours: "r,g,b" texts as typed into the browser's settings, and the registry values that
// hold them, whatever their type and size.
#include "FuzzInput.h"
#include "platform/Registry.h"
#include "ui/ColorString.h"
#include "ui/LinkColors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const std::wstring text = input.Text();

    constexpr uint32_t kUntouched = 0xDEADBEEF;
    uint32_t color = kUntouched;
    if (ParseColorString(text, color)) {
        FUZZ_CHECK(color <= 0xFFFFFF);
        FUZZ_CHECK(text.find(L',') != std::wstring::npos);
    } else {
        FUZZ_CHECK(color == kUntouched);
    }

    // The same text, or any bytes, stored under any type.
    platform::posix::ResetRegistry();
    const auto type = static_cast<platform::RegType>(input.Byte() % 12);
    std::vector<uint8_t> stored = input.Bytes();
    if (input.Byte() & 1) {
        stored.clear();
        for (wchar_t unit : text) {
            stored.push_back(static_cast<uint8_t>(unit & 0xFF));
            stored.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
        }
    }
    platform::posix::WriteValue(kLinkColorsKeyPath, L"Anchor Color", type, stored);
    platform::RegKey key = platform::RegKey::Open(kLinkColorsKeyPath);
    FUZZ_CHECK(key.IsOpen());
    uint32_t fromRegistry = kUntouched;
    if (ReadColorValue(key, L"Anchor Color", fromRegistry)) {
        FUZZ_CHECK(type == platform::RegType::String);
        FUZZ_CHECK(fromRegistry <= 0xFFFFFF);
    } else {
        FUZZ_CHECK(fromRegistry == kUntouched);
    }
    const LinkColors colors = ReadLinkColors();
    FUZZ_CHECK(colors.link <= 0xFFFFFF && colors.visited <= 0xFFFFFF);
    return 0;
}
