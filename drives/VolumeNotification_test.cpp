#include "drives/VolumeNotification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A broadcast as the system lays it out: size, device type, reserved, unit mask, flags.
std::vector<std::byte> Broadcast(uint32_t declaredSize, uint32_t deviceType, uint32_t unitMask,
                                 size_t actualSize = 20) {
    std::vector<std::byte> bytes(actualSize);
    uint32_t fields[4] = {declaredSize, deviceType, 0, unitMask};
    std::memcpy(bytes.data(), fields, std::min(sizeof fields, actualSize));
    return bytes;
}

TEST(VolumeNotification, ArrivalAndRemovalOfAVolume) {
    auto bytes = Broadcast(20, kDeviceTypeVolume, 0x18);
    auto arrival = ReadVolumeNotification(kDeviceArrival, bytes.data());
    ASSERT_TRUE(arrival);
    EXPECT_TRUE(arrival->arrival);
    EXPECT_EQ(arrival->unitMask, 0x18u);
    auto removal = ReadVolumeNotification(kDeviceRemoveComplete, bytes.data());
    ASSERT_TRUE(removal);
    EXPECT_FALSE(removal->arrival);
}

TEST(VolumeNotification, MaskBitsAboveZAreDropped) {
    auto bytes = Broadcast(20, kDeviceTypeVolume, 0xFC000010);
    auto notification = ReadVolumeNotification(kDeviceArrival, bytes.data());
    ASSERT_TRUE(notification);
    EXPECT_EQ(notification->unitMask, 0x10u);
}

TEST(VolumeNotification, OtherEventsGiveNothingAndLeaveLParamUntouched) {
    // One byte only: reading a header here would be caught by the address sanitizer.
    auto lone = std::make_unique<std::byte[]>(1);
    for (uint32_t event : {0x0007u, 0x0018u, 0x8001u, 0x8002u, 0x8003u, 0x8006u, 0xFFFFu, 0u})
        EXPECT_FALSE(ReadVolumeNotification(event, lone.get())) << event;
}

TEST(VolumeNotification, NullHeaderGivesNothing) {
    EXPECT_FALSE(ReadVolumeNotification(kDeviceArrival, nullptr));
    EXPECT_FALSE(ReadVolumeNotification(kDeviceRemoveComplete, nullptr));
}

TEST(VolumeNotification, OtherDeviceTypesGiveNothing) {
    for (uint32_t deviceType : {0u, 1u, 3u, 5u, 6u}) {
        auto bytes = Broadcast(20, deviceType, 0x10);
        EXPECT_FALSE(ReadVolumeNotification(kDeviceArrival, bytes.data())) << deviceType;
    }
}

TEST(VolumeNotification, HeaderDeclaringLessThanAVolumeIsNotReadBeyondItsSize) {
    // Exactly as many bytes as the header claims, so any read past them is an overflow.
    for (uint32_t declared : {4u, 8u, 12u, 16u, 19u}) {
        auto bytes = std::make_unique<std::byte[]>(declared);
        uint32_t fields[4] = {declared, kDeviceTypeVolume, 0, 0x10};
        std::memcpy(bytes.get(), fields, std::min<size_t>(declared, sizeof fields));
        EXPECT_FALSE(ReadVolumeNotification(kDeviceArrival, bytes.get())) << declared;
    }
}

TEST(VolumeNotification, LargerHeaderIsAccepted) {
    auto bytes = Broadcast(32, kDeviceTypeVolume, 0x4, 32);
    auto notification = ReadVolumeNotification(kDeviceArrival, bytes.data());
    ASSERT_TRUE(notification);
    EXPECT_EQ(notification->unitMask, 0x4u);
}

TEST(VolumeNotification, ParseTrustsNeitherTheBufferNorTheDeclaredSizeAlone) {
    auto shortBuffer = Broadcast(20, kDeviceTypeVolume, 0x10, 19);
    EXPECT_FALSE(ParseVolumeNotification(kDeviceArrival, shortBuffer));
    auto shortDeclared = Broadcast(19, kDeviceTypeVolume, 0x10, 20);
    EXPECT_FALSE(ParseVolumeNotification(kDeviceArrival, shortDeclared));
    EXPECT_FALSE(ParseVolumeNotification(kDeviceArrival, {}));
    auto good = Broadcast(20, kDeviceTypeVolume, 0x10, 20);
    EXPECT_TRUE(ParseVolumeNotification(kDeviceArrival, good));
}

TEST(VolumeNotification, UnalignedHeaderIsRead) {
    auto bytes = Broadcast(20, kDeviceTypeVolume, 0x20, 21);
    std::vector<std::byte> shifted(1);
    shifted.insert(shifted.end(), bytes.begin(), bytes.end() - 1);
    auto notification = ReadVolumeNotification(kDeviceArrival, shifted.data() + 1);
    ASSERT_TRUE(notification);
    EXPECT_EQ(notification->unitMask, 0x20u);
}

} // namespace
