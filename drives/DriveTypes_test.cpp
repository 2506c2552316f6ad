#include "drives/DriveTypes.h"
#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

struct ClassificationRow {
    uint32_t type;
    std::wstring rowText;
    int32_t policyKey;
    std::wstring subkey;
    std::wstring caption;
    bool tickedByDefault;
};

TEST(DriveTypes, EveryDriveTypeHasItsNames) {
    const ClassificationRow rows[] = {
        {platform::kDriveUnknown, L"UNKNOWN", -1, L"Other", L"Other new drives", false},
        {platform::kDriveNoRootDir, L"NO ACCESS", -1, L"Other", L"Other new drives", false},
        {platform::kDriveRemovable, L"REMOVABLE", -2, L"Removable", L"New removable drives", true},
        {platform::kDriveFixed, L"FIXED", -3, L"Fixed", L"New fixed drives", false},
        {platform::kDriveRemote, L"NETWORK", -4, L"Network", L"New remote drives", false},
        {platform::kDriveCdRom, L"CD-ROM", -5, L"CD-ROM", L"New CD-ROM drives", true},
        {platform::kDriveRamdisk, L"RAMDISK", -6, L"Ramdisk", L"New ramdisk drives", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(DriveTypeRowText(row.type), row.rowText);
        ASSERT_EQ(PolicyKeyOfType(row.type), row.policyKey);
        EXPECT_EQ(PolicySubkeyName(row.policyKey), row.subkey);
        EXPECT_EQ(PolicyRowCaption(row.policyKey), row.caption);
        EXPECT_EQ(PolicyManagedByDefault(row.policyKey), row.tickedByDefault);
    }
}

TEST(DriveTypes, TypesOfSevenAndAboveCountAsUnknown) {
    for (uint32_t raw : {7u, 8u, 100u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(ClampDriveType(raw), platform::kDriveUnknown);
        EXPECT_EQ(DriveTypeRowText(raw), std::wstring(L"UNKNOWN"));
        EXPECT_EQ(PolicyKeyOfType(raw), kOtherPolicyKey);
    }
    EXPECT_EQ(ClampDriveType(6), 6u);
}

TEST(DriveTypes, NegativeKeysOutsideTheNamedPoliciesAreOther) {
    for (int32_t key : {-1, -7, -100, INT_MIN}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(PolicySubkeyName(key), std::wstring(L"Other"));
        EXPECT_EQ(PolicyRowCaption(key), std::wstring(L"Other new drives"));
        EXPECT_FALSE(PolicyManagedByDefault(key));
    }
}

TEST(DriveTypes, PolicyRowsComeInTheirFixedOrderEndingWithOther) {
    std::wstring captions;
    for (int32_t key : kPolicyRowOrder)
        captions += std::wstring(PolicyRowCaption(key)) + L"|";
    EXPECT_EQ(captions, L"New removable drives|New fixed drives|New remote drives|New CD-ROM drives|"
                        L"New ramdisk drives|Other new drives|");
}

TEST(DriveTypes, RootsOfDriveIndexes) {
    EXPECT_EQ(DriveRoot(0), L"A:\\");
    EXPECT_EQ(DriveRoot(2), L"C:\\");
    EXPECT_EQ(DriveRoot(25), L"Z:\\");
    EXPECT_EQ(DriveRoot(26), L"");
    EXPECT_EQ(DriveRoot(-1), L"");
}

TEST(DriveTypes, RecordKeysSpanPoliciesAndLetters) {
    EXPECT_EQ(kRecordCount, 32);
    EXPECT_TRUE(IsPolicyKey(-6));
    EXPECT_TRUE(IsPolicyKey(-1));
    EXPECT_FALSE(IsPolicyKey(-7));
    EXPECT_FALSE(IsPolicyKey(0));
    EXPECT_TRUE(IsDriveIndex(0));
    EXPECT_TRUE(IsDriveIndex(25));
    EXPECT_FALSE(IsDriveIndex(26));
    EXPECT_FALSE(IsDriveIndex(-1));
}

} // namespace
