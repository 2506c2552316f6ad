#include "settings/WindowPlacement.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::RegType;
namespace posix = platform::posix;

const wchar_t kMainFrameKey[] = L"SOFTWARE\\Quenby\\Harvex2\\Main frame";

WindowPlacementRecord SampleRecord() {
    WindowPlacementRecord record;
    record.flags = kRestoreToMaximized;
    record.showCmd = kShowMaximized;
    record.minX = -32000;
    record.minY = -32000;
    record.maxX = -1;
    record.maxY = -1;
    record.normalLeft = 120;
    record.normalTop = 80;
    record.normalRight = 581;
    record.normalBottom = 335;
    return record;
}

TEST(WindowPlacementRecordBytes, FieldsAreLittleEndianWordsInStoredOrder) {
    auto bytes = EncodeWindowPlacement(SampleRecord());
    const std::vector<uint8_t> expected = {
        44,   0,    0,    0,    // length
        2,    0,    0,    0,    // flags
        3,    0,    0,    0,    // showCmd
        0x00, 0x83, 0xFF, 0xFF, // ptMinPosition.x = -32000
        0x00, 0x83, 0xFF, 0xFF, // ptMinPosition.y
        0xFF, 0xFF, 0xFF, 0xFF, // ptMaxPosition.x = -1
        0xFF, 0xFF, 0xFF, 0xFF, // ptMaxPosition.y
        120,  0,    0,    0,    // rcNormalPosition.left
        80,   0,    0,    0,    // top
        0x45, 0x02, 0,    0,    // right = 581
        0x4F, 0x01, 0,    0,    // bottom = 335
    };
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);
}

TEST(WindowPlacementRecordBytes, DecodingGivesBackEveryField) {
    auto bytes = EncodeWindowPlacement(SampleRecord());
    auto decoded = DecodeWindowPlacement(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, SampleRecord());
}

TEST(WindowPlacementRecordBytes, OnlyExactly44BytesAreAPlacement) {
    std::vector<uint8_t> bytes(48, 0);
    for (size_t size : {0, 1, 40, 43, 45, 48})
        EXPECT_FALSE(DecodeWindowPlacement(bytes.data(), size)) << size << " bytes";
    EXPECT_FALSE(DecodeWindowPlacement(nullptr, 44));
    EXPECT_TRUE(DecodeWindowPlacement(bytes.data(), 44));
}

TEST(WindowPlacementShowState, MinimisedStartsMaximisedOnlyWhenItHadBeenMaximised) {
    EXPECT_EQ(StartupShowCmd(kShowMinimized, kRestoreToMaximized), kShowMaximized);
    EXPECT_EQ(StartupShowCmd(kShowMinimized, 0), kShowNormal);
    EXPECT_EQ(StartupShowCmd(kShowMinimized, 1), kShowNormal); // WPF_SETMINPOSITION alone
    EXPECT_EQ(StartupShowCmd(kShowMinimized, 3), kShowMaximized);
    EXPECT_EQ(StartupShowCmd(kShowNormal, kRestoreToMaximized), kShowNormal);
    EXPECT_EQ(StartupShowCmd(kShowMaximized, 0), kShowMaximized);
}

TEST(WindowPlacementShowState, NeverStartsHiddenOrMinimised) {
    for (uint32_t showCmd : {0u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 0xFFFFFFFFu}) {
        uint32_t start = StartupShowCmd(showCmd, 0);
        EXPECT_EQ(start, kShowNormal) << "stored " << showCmd;
    }
    EXPECT_EQ(StartupShowCmd(6, kRestoreToMaximized), kShowMaximized); // SW_MINIMIZE
}

class WindowPlacementStore : public ::testing::Test {
protected:
    void SetUp() override { posix::ResetRegistry(); }
    void TearDown() override { posix::ResetRegistry(); }
};

TEST_F(WindowPlacementStore, StoresOneBinaryValueUnderTheNamedKeyWithoutClass) {
    ASSERT_TRUE(StoreWindowPlacement(L"Main frame", SampleRecord()));

    EXPECT_TRUE(posix::KeyExists(kMainFrameKey));
    EXPECT_EQ(posix::KeyClass(kMainFrameKey), L"");
    RegType type{};
    std::vector<uint8_t> data;
    ASSERT_TRUE(posix::ReadValue(kMainFrameKey, L"Window placement", type, data));
    EXPECT_EQ(type, RegType::Binary);
    auto expected = EncodeWindowPlacement(SampleRecord());
    EXPECT_EQ(data, std::vector<uint8_t>(expected.begin(), expected.end()));
}

TEST_F(WindowPlacementStore, FirstLoadCreatesTheKeyAndFindsNothing) {
    EXPECT_FALSE(LoadWindowPlacement(L"Main frame"));
    EXPECT_TRUE(posix::KeyExists(kMainFrameKey));
}

TEST_F(WindowPlacementStore, StoredPlacementComesBackWithItsStartingShowState) {
    WindowPlacementRecord minimised = SampleRecord();
    minimised.showCmd = kShowMinimized;
    ASSERT_TRUE(StoreWindowPlacement(L"Main frame", minimised));

    auto loaded = LoadWindowPlacement(L"Main frame");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->showCmd, kShowMaximized);
    EXPECT_EQ(loaded->normalRight, 581);

    minimised.flags = 0;
    ASSERT_TRUE(StoreWindowPlacement(L"Main frame", minimised));
    EXPECT_EQ(LoadWindowPlacement(L"Main frame")->showCmd, kShowNormal);
}

TEST_F(WindowPlacementStore, ValuesOfAnotherSizeAreIgnored) {
    for (size_t size : {40, 48, 0}) {
        posix::WriteValue(kMainFrameKey, L"Window placement", RegType::Binary, std::vector<uint8_t>(size, 1));
        EXPECT_FALSE(LoadWindowPlacement(L"Main frame")) << size << " bytes";
    }
}

TEST_F(WindowPlacementStore, NamesAreKeptApart) {
    ASSERT_TRUE(StoreWindowPlacement(L"Main frame", SampleRecord()));
    EXPECT_FALSE(LoadWindowPlacement(L"Other frame"));
    EXPECT_TRUE(LoadWindowPlacement(L"Main frame"));
}

TEST_F(WindowPlacementStore, UnwritableRegistryStoresNothingAndLoadsNothing) {
    ASSERT_TRUE(StoreWindowPlacement(L"Main frame", SampleRecord()));
    posix::SetRegistryBroken(true);
    EXPECT_FALSE(StoreWindowPlacement(L"Main frame", WindowPlacementRecord{}));
    EXPECT_FALSE(LoadWindowPlacement(L"Main frame"));
    posix::SetRegistryBroken(false);
    EXPECT_EQ(LoadWindowPlacement(L"Main frame")->normalLeft, 120) << "the earlier placement stays";
}

} // namespace
