#include "copy/CopyRecord.h"

#include "platform/TempFolder_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

constexpr uint32_t kSerial = 0xCAFE0001;
constexpr platform::FileTime kTime = 133000000000000000ull;

std::wstring Wide(const std::string& text) {
    return platform::FromUtf8(text);
}

} // namespace

// An earlier run from this volume copied "DCIM\A.JPG" (4 bytes) and "DCIM\B.JPG" (6 bytes) into its
// folder "run1"; B's copy has since been deleted. Another volume's run copied "DCIM\C.JPG".
TEST(CopyRecord, SkipsOnlyWhatThisVolumeCopiedBeforeAndIsStillThere) {
    platformtest::TempFolder copyTo;
    copyTo.MakeFolder("run1");
    copyTo.MakeFolder("run1/DCIM");
    copyTo.WriteFile("run1/DCIM/A.JPG", "aaaa");
    std::string record = CopyRecordHeaderText(kSerial, L"run1");
    record += CopyRecordLine(L"DCIM\\A.JPG", 4, kTime);
    record += CopyRecordLine(L"DCIM\\B.JPG", 6, kTime);
    std::ofstream(copyTo.At("run1.copied"), std::ios::binary) << record;
    copyTo.MakeFolder("other");
    copyTo.MakeFolder("other/DCIM");
    copyTo.WriteFile("other/DCIM/C.JPG", "cc");
    std::ofstream(copyTo.At("other.copied"), std::ios::binary)
        << CopyRecordHeaderText(kSerial + 1, L"other") + CopyRecordLine(L"DCIM\\C.JPG", 2, kTime);

    const EarlierCopies earlier = EarlierCopies::Load(Wide(copyTo.Path()), kSerial);
    EXPECT_EQ(earlier.RecordedFiles(), 2u) << "another volume's record is not used";
    EXPECT_TRUE(earlier.CopiedBefore(L"DCIM\\A.JPG", 4, kTime));
    EXPECT_TRUE(earlier.CopiedBefore(L"dcim\\a.jpg", 4, kTime)) << "names compare without case";
    EXPECT_FALSE(earlier.CopiedBefore(L"DCIM\\A.JPG", 5, kTime)) << "changed size";
    EXPECT_FALSE(earlier.CopiedBefore(L"DCIM\\A.JPG", 4, kTime + 1)) << "changed last-write time";
    EXPECT_FALSE(earlier.CopiedBefore(L"DCIM\\B.JPG", 6, kTime)) << "the earlier copy was deleted";
    EXPECT_FALSE(earlier.CopiedBefore(L"DCIM\\C.JPG", 2, kTime)) << "copied from another volume";
    EXPECT_FALSE(earlier.CopiedBefore(L"A.JPG", 4, kTime)) << "another relative path";

    copyTo.WriteFile("run1/DCIM/A.JPG", "aaaaa");
    EXPECT_FALSE(earlier.CopiedBefore(L"DCIM\\A.JPG", 4, kTime)) << "the copy no longer has that size";
}

TEST(CopyRecord, RecordOfACopyIntoCopyToItselfAndOddNames) {
    platformtest::TempFolder copyTo;
    copyTo.WriteFile("new\nline", "12345");
    EarlierCopies earlier;
    earlier.AddRecord(Wide(copyTo.Path()), kSerial,
                      CopyRecordHeaderText(kSerial, L"") + CopyRecordLine(L"new\nline", 5, kTime) +
                          "garbage line\n5\tnot a time\tx\n");
    EXPECT_EQ(earlier.RecordedFiles(), 1u) << "lines not in the format are passed over";
    EXPECT_TRUE(earlier.CopiedBefore(L"new\nline", 5, kTime));

    EarlierCopies noSerial;
    noSerial.AddRecord(Wide(copyTo.Path()), kSerial, "folder \n" + CopyRecordLine(L"new\nline", 5, kTime));
    EXPECT_EQ(noSerial.RecordedFiles(), 0u) << "a record without a serial number counts for no volume";
}
