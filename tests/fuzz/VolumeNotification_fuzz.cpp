// The volume arrival and removal broadcast: any event code and any bytes behind lParam.
#include "FuzzInput.h"
#include "drives/VolumeNotification.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    // Mostly the two volume events, so the header checks are reached.
    const uint8_t pick = input.Byte();
    const uint32_t event = pick < 100 ? kDeviceArrival : pick < 200 ? kDeviceRemoveComplete : input.Uint32();
    const std::vector<uint8_t> bytes = input.Rest();
    const auto* message = reinterpret_cast<const std::byte*>(bytes.data());

    const auto parsed = ParseVolumeNotification(event, std::span(message, bytes.size()));
    if (parsed) {
        FUZZ_CHECK(event == kDeviceArrival || event == kDeviceRemoveComplete);
        FUZZ_CHECK(parsed->arrival == (event == kDeviceArrival));
        FUZZ_CHECK((parsed->unitMask & ~kUnitMaskLetters) == 0);
        FUZZ_CHECK(bytes.size() >= kVolumeHeaderMinSize);
        uint32_t declared = 0;
        std::memcpy(&declared, bytes.data(), sizeof declared);
        FUZZ_CHECK(declared >= kVolumeHeaderMinSize);
    }

    // The raw form trusts the header's own size: give it a buffer exactly as long as it claims
    // (ASan catches any read past it), or one too short to hold a size at all.
    if (bytes.size() >= 4) {
        uint32_t declared = 0;
        std::memcpy(&declared, bytes.data(), sizeof declared);
        if (declared >= 4 && declared <= bytes.size()) {
            std::vector<uint8_t> exact(bytes.begin(), bytes.begin() + declared);
            const auto raw = ReadVolumeNotification(event, exact.data());
            const auto same = ParseVolumeNotification(
                event, std::span(reinterpret_cast<const std::byte*>(exact.data()), exact.size()));
            FUZZ_CHECK(raw.has_value() == same.has_value());
            if (raw)
                FUZZ_CHECK(raw->unitMask == same->unitMask && raw->arrival == same->arrival);
        }
    }
    FUZZ_CHECK(!ReadVolumeNotification(event, nullptr));
    return 0;
}
