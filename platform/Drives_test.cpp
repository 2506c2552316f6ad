#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

class DriveMapTest : public ::testing::Test {
protected:
    void SetUp() override { posix::UnmapAllDrives(); }
    void TearDown() override { posix::UnmapAllDrives(); }
};

TEST_F(DriveMapTest, RootsAreListedInLetterOrderWhateverTheMappingOrder) {
    posix::MapDrive(L'Q', "/tmp", kDriveRemovable);
    posix::MapDrive(L'c', "/", kDriveFixed);
    posix::MapDrive(L'E', "/tmp", kDriveCdRom);
    EXPECT_EQ(LogicalDriveRoots(), (std::vector<std::wstring>{L"C:\\", L"E:\\", L"Q:\\"}));
}

TEST_F(DriveMapTest, BrokenListGivesNoRootsUntilRepaired) {
    posix::MapDrive(L'C', "/", kDriveFixed);
    posix::SetDriveListBroken(true);
    EXPECT_TRUE(LogicalDriveRoots().empty());
    posix::SetDriveListBroken(false);
    EXPECT_EQ(LogicalDriveRoots().size(), 1u);
}

TEST_F(DriveMapTest, NonLettersAreNotMapped) {
    posix::MapDrive(L'1', "/tmp", kDriveFixed);
    posix::MapDrive(L':', "/tmp", kDriveFixed);
    EXPECT_TRUE(LogicalDriveRoots().empty());
}

TEST_F(DriveMapTest, DriveTypeOfMappedAndUnmappedLetters) {
    posix::MapDrive(L'E', "/tmp", kDriveCdRom);
    EXPECT_EQ(DriveType(L"E:\\"), kDriveCdRom);
    EXPECT_EQ(DriveType(L"e:\\"), kDriveCdRom);
    EXPECT_EQ(DriveType(L"E:"), kDriveCdRom);
    EXPECT_EQ(DriveType(L"F:\\"), kDriveNoRootDir);
    EXPECT_EQ(DriveType(L"E:\\folder"), kDriveNoRootDir);
    EXPECT_EQ(DriveType(L""), kDriveNoRootDir);
    posix::UnmapDrive(L'e');
    EXPECT_EQ(DriveType(L"E:\\"), kDriveNoRootDir);
}

TEST_F(DriveMapTest, RemappingALetterReplacesItsTypeLabelAndSerial) {
    posix::MapDrive(L'F', "/tmp", kDriveRemovable, L"ONE");
    posix::SetDriveSerial(L'F', 7);
    VolumeIdentity identity;
    ASSERT_TRUE(GetVolumeIdentity(L"F:\\", identity));
    EXPECT_EQ(identity, (VolumeIdentity{7, L"ONE"}));
    posix::MapDrive(L'F', "/tmp", kDriveFixed, L"TWO");
    posix::SetDriveSerial(L'F', 8);
    std::wstring label;
    ASSERT_TRUE(VolumeLabel(L"F:\\", label));
    EXPECT_EQ(label, L"TWO");
    ASSERT_TRUE(GetVolumeIdentity(L"F:\\", identity));
    EXPECT_EQ(identity, (VolumeIdentity{8, L"TWO"}));
    EXPECT_EQ(DriveType(L"F:\\"), kDriveFixed);
    EXPECT_FALSE(GetVolumeIdentity(L"G:\\", identity));
}

TEST_F(DriveMapTest, LabelQueryFailsForUnmappedLetterAndMissingFolder) {
    std::wstring label = L"unchanged";
    EXPECT_FALSE(VolumeLabel(L"G:\\", label));
    posix::MapDrive(L'G', "/nonexistent/harvex/folder", kDriveCdRom, L"DISC");
    EXPECT_FALSE(VolumeLabel(L"G:\\", label));
    EXPECT_EQ(label, L"unchanged");
}

TEST_F(DriveMapTest, DiskSpaceComesFromTheMappedFolder) {
    posix::MapDrive(L'D', "/tmp", kDriveFixed);
    uint64_t total = 0, free = 0;
    ASSERT_TRUE(DiskSpace(L"D:\\", total, free));
    EXPECT_GT(total, 0u);
    EXPECT_LE(free, total);
    // The free figure is all free space, blocks reserved for the superuser included, so that
    // total - free is the space in use (other writers may move it a little meanwhile).
    struct statvfs info {};
    ASSERT_EQ(::statvfs("/tmp", &info), 0);
    const double allFree = static_cast<double>(info.f_bfree) * static_cast<double>(info.f_frsize);
    EXPECT_NEAR(static_cast<double>(free), allFree, 256.0 * 1024 * 1024);
    EXPECT_FALSE(DiskSpace(L"H:\\", total, free));
    posix::MapDrive(L'H', "/nonexistent/harvex/folder", kDriveFixed);
    EXPECT_FALSE(DiskSpace(L"H:\\", total, free));
}

TEST_F(DriveMapTest, EjectIsNotAvailable) {
    posix::MapDrive(L'E', "/tmp", kDriveCdRom);
    EXPECT_FALSE(EjectMedia(L"\\\\.\\E:"));
}

TEST_F(DriveMapTest, HostPathGoesThroughTheMap) {
    posix::MapDrive(L'E', "/mnt/card", kDriveRemovable);
    EXPECT_EQ(posix::HostPath(L"E:\\DCIM\\100CANON\\IMG_0001.JPG"), "/mnt/card/DCIM/100CANON/IMG_0001.JPG");
    EXPECT_EQ(posix::HostPath(L"e:\\DCIM"), "/mnt/card/DCIM");
    EXPECT_EQ(posix::HostPath(L"E:"), "/mnt/card");
    EXPECT_EQ(posix::HostPath(L"E:\\"), "/mnt/card");
    EXPECT_EQ(posix::HostPath(L"E:\\\\*"), "/mnt/card/*");
    EXPECT_EQ(posix::HostPath(L"E:\\a\\\\b\\"), "/mnt/card/a/b/");
}

TEST_F(DriveMapTest, HostPathOfAFolderWithTrailingSlashHasNoDoubleSlash) {
    posix::MapDrive(L'E', "/mnt/card/", kDriveRemovable);
    EXPECT_EQ(posix::HostPath(L"E:\\a"), "/mnt/card/a");
}

TEST_F(DriveMapTest, HostPathOfUnmappedOrLetterlessPathsOnlyTurnsSlashes) {
    EXPECT_EQ(posix::HostPath(L"Z:\\a\\b"), "Z:/a/b");
    EXPECT_EQ(posix::HostPath(L"/tmp/dest\\2024\\file.txt"), "/tmp/dest/2024/file.txt");
    EXPECT_EQ(posix::HostPath(L"relative\\name"), "relative/name");
    EXPECT_EQ(posix::HostPath(L""), "");
}

TEST_F(DriveMapTest, HostPathKeepsNonAsciiNames) {
    posix::MapDrive(L'E', "/mnt/card", kDriveRemovable);
    EXPECT_EQ(posix::HostPath(L"E:\\Fotos\\M\u00fcnchen"), "/mnt/card/Fotos/M\xc3\xbcnchen");
}

TEST_F(DriveMapTest, MapIsSafeToUseFromSeveralThreads) {
    std::thread writer([] {
        for (int i = 0; i < 2000; ++i) {
            posix::MapDrive(L'K', "/tmp", kDriveRemovable, L"K");
            posix::UnmapDrive(L'K');
        }
    });
    for (int i = 0; i < 2000; ++i) {
        uint32_t type = DriveType(L"K:\\");
        EXPECT_TRUE(type == kDriveRemovable || type == kDriveNoRootDir);
        (void)posix::HostPath(L"K:\\x");
        (void)LogicalDriveRoots();
    }
    writer.join();
}

} // namespace
} // namespace platform
