#include "drives/DriveRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using platform::RegType;

const wchar_t kDrives[] = L"SOFTWARE\\Quenby\\Harvex2\\Drives";

std::vector<uint8_t> Bytes(uint32_t value) {
    std::vector<uint8_t> data(4);
    std::memcpy(data.data(), &value, 4);
    return data;
}

// The stored DWORD of a value; fails the test when the value is missing or not a 4-byte DWORD.
uint32_t StoredDword(const std::wstring& path, const wchar_t* name) {
    RegType type{};
    std::vector<uint8_t> data;
    EXPECT_TRUE(platform::posix::ReadValue(path, name, type, data)) << "missing " << name;
    EXPECT_EQ(type, RegType::Dword);
    EXPECT_EQ(data.size(), 4u);
    uint32_t value = 0xDEADBEEF;
    if (data.size() == 4)
        std::memcpy(&value, data.data(), 4);
    return value;
}

DriveRecord LoadedRecord(int32_t key) {
    DriveRecord record;
    record.key = key;
    record.Load();
    return record;
}

class DriveRecordTest : public ::testing::Test {
protected:
    void SetUp() override { platform::posix::ResetRegistry(); }
    void TearDown() override { platform::posix::ResetRegistry(); }
};

TEST_F(DriveRecordTest, KeyPathsOfLettersAndPolicies) {
    EXPECT_EQ(DriveRecordKeyPath(0), L"SOFTWARE\\Quenby\\Harvex2\\Drives\\A");
    EXPECT_EQ(DriveRecordKeyPath(4), L"SOFTWARE\\Quenby\\Harvex2\\Drives\\E");
    EXPECT_EQ(DriveRecordKeyPath(25), L"SOFTWARE\\Quenby\\Harvex2\\Drives\\Z");
    EXPECT_EQ(DriveRecordKeyPath(-2), L"SOFTWARE\\Quenby\\Harvex2\\Drives\\Removable");
    EXPECT_EQ(DriveRecordKeyPath(-5), L"SOFTWARE\\Quenby\\Harvex2\\Drives\\CD-ROM");
    EXPECT_EQ(DriveRecordKeyPath(-1), L"SOFTWARE\\Quenby\\Harvex2\\Drives\\Other");
    EXPECT_EQ(DriveRecordKeyPath(-9), L"SOFTWARE\\Quenby\\Harvex2\\Drives\\Other");
}

TEST_F(DriveRecordTest, KeyBeyondTheLettersOpensNothingAndCreatesNothing) {
    DriveRecord record;
    record.key = 26;
    EXPECT_FALSE(record.OpenKey().IsOpen());
    record.Load();
    EXPECT_FALSE(record.hasSeen);
    EXPECT_EQ(record.lastType, -1);
    EXPECT_TRUE(platform::posix::SubkeyNames(kDrives).empty());
}

TEST_F(DriveRecordTest, LoadFromEmptyRegistryCreatesTheKeyWithDwordClassAndTakesDefaults) {
    DriveRecord record = LoadedRecord(4);
    EXPECT_TRUE(platform::posix::KeyExists(DriveRecordKeyPath(4)));
    EXPECT_EQ(platform::posix::KeyClass(DriveRecordKeyPath(4)), L"DWORD");
    EXPECT_FALSE(record.seen);
    EXPECT_FALSE(record.hasSeen);
    EXPECT_FALSE(record.managed);
    EXPECT_FALSE(record.hasManaged);
    EXPECT_EQ(record.lastType, -1);
    EXPECT_FALSE(record.hasLastType);
    EXPECT_EQ(record.key, 4);
}

TEST_F(DriveRecordTest, AnyNonZeroManagedLoadsAsManagedAndIsSavedAsOne) {
    platform::posix::WriteValue(DriveRecordKeyPath(4), L"Managed", RegType::Dword, Bytes(5));
    DriveRecord record = LoadedRecord(4);
    EXPECT_TRUE(record.managed);
    EXPECT_TRUE(record.hasManaged);
    record.Save();
    EXPECT_EQ(StoredDword(DriveRecordKeyPath(4), L"Managed"), 1u);
}

TEST_F(DriveRecordTest, EightByteSeenCountsAsAbsent) {
    std::vector<uint8_t> eight(8, 0);
    eight[0] = 1;
    platform::posix::WriteValue(DriveRecordKeyPath(4), L"Seen", RegType::Qword, eight);
    DriveRecord record = LoadedRecord(4);
    EXPECT_FALSE(record.seen);
    EXPECT_FALSE(record.hasSeen);
}

TEST_F(DriveRecordTest, ValueTypeIsNotLookedAt) {
    platform::posix::WriteValue(DriveRecordKeyPath(4), L"Last type", RegType::Binary, Bytes(5));
    platform::posix::WriteValue(DriveRecordKeyPath(4), L"Seen", RegType::String, {1, 0});
    DriveRecord record = LoadedRecord(4);
    EXPECT_TRUE(record.hasLastType);
    EXPECT_EQ(record.lastType, 5);
    EXPECT_TRUE(record.seen);
}

TEST_F(DriveRecordTest, SaveWritesAllThreeDwordsAndLastTypeMinusOneAsAllOnes) {
    DriveRecord record = LoadedRecord(-3);
    record.managed = true;
    record.Save();
    const std::wstring path = DriveRecordKeyPath(-3);
    EXPECT_EQ(StoredDword(path, L"Seen"), 0u);
    EXPECT_EQ(StoredDword(path, L"Managed"), 1u);
    EXPECT_EQ(StoredDword(path, L"Last type"), 0xFFFFFFFFu);
    EXPECT_TRUE(record.hasSeen);
    EXPECT_TRUE(record.hasManaged);
    EXPECT_TRUE(record.hasLastType);

    DriveRecord again = LoadedRecord(-3);
    EXPECT_TRUE(again.hasLastType);
    EXPECT_EQ(again.lastType, -1);
    EXPECT_TRUE(again.managed);
}

TEST_F(DriveRecordTest, LoadReplacesWhatTheRecordHeld) {
    DriveRecord record = LoadedRecord(6);
    record.seen = true;
    record.managed = true;
    record.lastType = 3;
    record.Load();
    EXPECT_FALSE(record.seen);
    EXPECT_FALSE(record.managed);
    EXPECT_EQ(record.lastType, -1);
}

TEST_F(DriveRecordTest, BrokenRegistryGivesDefaultsAndSaveStillCountsAsWritten) {
    platform::posix::WriteValue(DriveRecordKeyPath(4), L"Seen", RegType::Dword, Bytes(1));
    platform::posix::SetRegistryBroken(true);
    DriveRecord record = LoadedRecord(4);
    EXPECT_FALSE(record.seen);
    EXPECT_FALSE(record.hasSeen);
    record.managed = true;
    record.Save();
    EXPECT_TRUE(record.hasManaged);
    platform::posix::SetRegistryBroken(false);
    RegType type{};
    std::vector<uint8_t> data;
    EXPECT_FALSE(platform::posix::ReadValue(DriveRecordKeyPath(4), L"Managed", type, data));
}

} // namespace
