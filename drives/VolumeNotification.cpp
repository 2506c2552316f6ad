#include "drives/VolumeNotification.h"

#include <cstring>

namespace {

uint32_t ReadUint32(std::span<const std::byte> bytes, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

bool IsVolumeEvent(uint32_t event) {
    return event == kDeviceArrival || event == kDeviceRemoveComplete;
}

} // namespace

std::optional<VolumeNotification> ParseVolumeNotification(uint32_t event,
                                                          std::span<const std::byte> message) {
    if (!IsVolumeEvent(event))
        return std::nullopt;
    if (message.size() < kVolumeHeaderMinSize)
        return std::nullopt;
    // The header's own size is the authority: a broadcast that says it is shorter than a volume
    // header is not read as one, whatever follows it in memory.
    if (ReadUint32(message, kVolumeHeaderSizeOffset) < kVolumeHeaderMinSize)
        return std::nullopt;
    if (ReadUint32(message, kVolumeDeviceTypeOffset) != kDeviceTypeVolume)
        return std::nullopt;
    VolumeNotification notification;
    notification.arrival = event == kDeviceArrival;
    notification.unitMask = ReadUint32(message, kVolumeUnitMaskOffset) & kUnitMaskLetters;
    return notification;
}

std::optional<VolumeNotification> ReadVolumeNotification(uint32_t event, const void* header) {
    // Events that carry no header may come with anything in lParam: look at the event first.
    if (!IsVolumeEvent(event) || header == nullptr)
        return std::nullopt;
    uint32_t declaredSize = 0;
    std::memcpy(&declaredSize, header, sizeof declaredSize);
    return ParseVolumeNotification(event, std::span(static_cast<const std::byte*>(header), declaredSize));
}
