#pragma once
// Reading the volume arrival and removal broadcast (WM_DEVICECHANGE) without trusting it: the
// header's own size bounds every read, and anything that is not a volume event gives nothing.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

inline constexpr uint32_t kDeviceArrival = 0x8000;        // DBT_DEVICEARRIVAL
inline constexpr uint32_t kDeviceRemoveComplete = 0x8004; // DBT_DEVICEREMOVECOMPLETE
inline constexpr uint32_t kDeviceTypeVolume = 2;          // DBT_DEVTYP_VOLUME
// The unit mask bits of the letters A: to Z:.
inline constexpr uint32_t kUnitMaskLetters = 0x3FFFFFF;

// The layout of DEV_BROADCAST_VOLUME: size, device type, reserved, unit mask, and two bytes of
// flags padded to a whole structure of 20 bytes. A broadcast shorter than that is not a volume's.
inline constexpr size_t kVolumeHeaderSizeOffset = 0;
inline constexpr size_t kVolumeDeviceTypeOffset = 4;
inline constexpr size_t kVolumeUnitMaskOffset = 12;
inline constexpr size_t kVolumeHeaderMinSize = 20;

struct VolumeNotification {
    bool arrival = false;  // false: removal
    uint32_t unitMask = 0; // bit 0 is A:, only bits 0..25
};

// The volume event held in a notification's bytes (the whole broadcast, as long as it says it
// is). Nothing for other events, other device types, or a header too short for a volume.
std::optional<VolumeNotification> ParseVolumeNotification(uint32_t event, std::span<const std::byte> message);

// The same from the raw wParam/lParam pair. header may be null; when not, its first four bytes
// give the size of the broadcast and nothing beyond that size is read.
std::optional<VolumeNotification> ReadVolumeNotification(uint32_t event, const void* header);
