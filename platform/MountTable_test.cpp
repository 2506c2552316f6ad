#include "platform/MountTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

MountEntry Mount(uint32_t id, std::string mountPoint, std::string fsType = "ext4") {
    MountEntry entry;
    entry.mountId = id;
    entry.mountPoint = std::move(mountPoint);
    entry.fsType = std::move(fsType);
    return entry;
}

std::vector<std::string> MountPoints(const std::vector<MountEntry>& entries) {
    std::vector<std::string> points;
    for (const MountEntry& entry : entries)
        points.push_back(entry.mountPoint + "#" + std::to_string(entry.mountId));
    return points;
}

TEST(MountTableTest, ReadsEveryFieldThroughOptionalFieldsEscapesAndBadLines) {
    const std::vector<MountEntry> table = ParseMountInfo(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "not a mount line\n"
        "97 22 7:3 /sub /media/me/MY\\040CARD\\134x rw master:4 propagate_from:2 - ext4 /dev/loop3 rw\n"
        "98 22 0:51 / /media/a\\01b rw - fuse.exfat-fuse /dev/loop\\0404 rw,user_id=0\n"
        "99 22 0:52 / /short rw -\n");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0], (MountEntry{22, 1, 8, 1, "/", "/", "ext4", "/dev/sda1"}));
    EXPECT_EQ(table[1], (MountEntry{97, 22, 7, 3, "/sub", "/media/me/MY CARD\\x", "ext4", "/dev/loop3"}));
    // An escape needs three octal digits; anything shorter is kept as written.
    EXPECT_EQ(table[2].mountPoint, "/media/a\\01b");
    EXPECT_EQ(table[2].source, "/dev/loop 4");
    EXPECT_EQ(table[2].fsType, "fuse.exfat-fuse");
}

TEST(MountTableTest, TheMountOnTopWithTheLongestPointHoldsAPath) {
    const std::vector<MountEntry> table = {Mount(1, "/"), Mount(2, "/media"), Mount(3, "/media/me/CARD"),
                                           Mount(4, "/media/me/CARD"), Mount(5, "/media/me/CARD2")};
    EXPECT_EQ(MountHolding(table, "/media/me/CARD/DCIM")->mountId, 4u);
    EXPECT_EQ(MountHolding(table, "/media/me/CARD")->mountId, 4u);
    EXPECT_EQ(MountHolding(table, "/media/me/CAR")->mountId, 2u);
    EXPECT_EQ(MountHolding(table, "/etc")->mountId, 1u);
    EXPECT_FALSE(MountHolding({Mount(2, "/media")}, "/etc"));
}

TEST(MountTableTest, OnlyNewAndGoneVolumesBeneathTheWatchedFoldersAreChanges) {
    const std::vector<std::string> watched = {"/media/me/", "/run/media/me", "/media"};
    const std::vector<MountEntry> before = {
        Mount(1, "/"),
        Mount(2, "/media/me", "tmpfs"), // the watched folder itself
        Mount(3, "/media/me/OLD"),
        Mount(4, "/media/me/SAME"),
        Mount(5, "/media/me/SWAPPED"),
    };
    const std::vector<MountEntry> after = {
        Mount(1, "/"),
        Mount(2, "/media/me", "tmpfs"),
        Mount(4, "/media/me/SAME"),
        Mount(9, "/media/me/SWAPPED"), // another volume at the same place
        Mount(10, "/media/me/NEW", "fuse.exfat-fuse"),
        Mount(11, "/media/me/NEW/inner"), // belongs to NEW
        Mount(12, "/media2/CARD"),        // not beneath by whole components
        Mount(16, "/run/media/meX"),      // nor this
        Mount(13, "/media/me/auto", "autofs"),
        Mount(14, "/run/media/me/deeper/CARD", "xfs"),
        Mount(15, "/mnt/CARD"),
    };
    const MountChanges changes = DiffWatchedVolumes(before, after, watched);
    EXPECT_EQ(MountPoints(changes.removals),
              (std::vector<std::string>{"/media/me/OLD#3", "/media/me/SWAPPED#5"}));
    EXPECT_EQ(MountPoints(changes.arrivals),
              (std::vector<std::string>{"/media/me/SWAPPED#9", "/media/me/NEW#10",
                                        "/run/media/me/deeper/CARD#14"}));
    EXPECT_TRUE(DiffWatchedVolumes(after, after, watched).arrivals.empty());
    // Everything present counts as arrived when nothing was there before: the volumes found at start.
    EXPECT_EQ(DiffWatchedVolumes({}, before, watched).arrivals.size(), 3u);
}

TEST(MountTableTest, UdevNamesLoseTheirEscapes) {
    EXPECT_EQ(UnescapeUdevName("MY\\x20CARD\\x2fx"), "MY CARD/x");
    EXPECT_EQ(UnescapeUdevName("caf\\xc3\\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(UnescapeUdevName("a\\x2"), "a\\x2");
    EXPECT_EQ(UnescapeUdevName("a\\xg0b\\"), "a\\xg0b\\");
}

TEST(MountTableTest, FatSerialsAreTheirOwnNumberOtherUuidsAStableHash) {
    EXPECT_EQ(SerialOfUuid("1A2B-3C4D"), 0x1A2B3C4Du);
    EXPECT_EQ(SerialOfUuid("1a2b-3c4d"), 0x1A2B3C4Du);
    EXPECT_EQ(SerialOfUuid("1A2B-3C4G"), Fnv1a("1A2B-3C4G"));
    const std::string uuid = "4f0c1b1e-6e2b-4a55-9a7e-0d1f2e3c4b5a";
    EXPECT_EQ(SerialOfUuid(uuid), Fnv1a(uuid));
    EXPECT_NE(SerialOfUuid(uuid), SerialOfUuid("4f0c1b1e-6e2b-4a55-9a7e-0d1f2e3c4b5b"));
    EXPECT_EQ(Fnv1a(""), 2166136261u);
}

} // namespace
} // namespace platform
