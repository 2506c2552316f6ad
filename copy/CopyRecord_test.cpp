#include "copy/CopyRecord.h"

#include "platform/TempFolder_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

constexpr uint32_t kSerial = 0xCAFE0001;
constexpr platform::FileTime kTime = 133000000000000000ull;
constexpr wchar_t kRunWithoutFolder[] = L"E 2026-12-07 15-01-02.003.copied";

std::wstring Wide(const std::string& text) {
    return platform::FromUtf8(text);
}

std::string Line(const std::wstring& path, uint64_t size) {
    return CopyRecordLine(path, path, size, kTime);
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
    record += Line(L"DCIM\\A.JPG", 4);
    record += Line(L"DCIM\\B.JPG", 6);
    std::ofstream(copyTo.At("run1.copied"), std::ios::binary) << record;
    copyTo.MakeFolder("other");
    copyTo.MakeFolder("other/DCIM");
    copyTo.WriteFile("other/DCIM/C.JPG", "cc");
    std::ofstream(copyTo.At("other.copied"), std::ios::binary)
        << CopyRecordHeaderText(kSerial + 1, L"other") + Line(L"DCIM\\C.JPG", 2);

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

// Copies under other names than the volume's are found where the record says they went; a record of
// an older version, without the copy's path, is read as before.
TEST(CopyRecord, CopiesAreFoundByTheirOwnPath) {
    platformtest::TempFolder copyTo;
    for (const char* name : {"a_", "com1_", "notes (2).txt", "tab\tname", "old.jpg"})
        copyTo.WriteFile(name, "12345");
    EarlierCopies earlier;
    earlier.AddRecord(Wide(copyTo.Path()), kRunWithoutFolder, kSerial,
                      CopyRecordHeaderText(kSerial, L"") + CopyRecordLine(L"a.", L"a_", 5, kTime) +
                          CopyRecordLine(L"com1", L"com1_", 5, kTime) +
                          CopyRecordLine(L"notes.txt", L"notes (2).txt", 5, kTime) +
                          CopyRecordLine(L"tab\tname", L"tab\tname", 5, kTime) + "5\t" +
                          std::to_string(kTime) + "\told.jpg\n" + "garbage line\n5\tnot a time\tx\n");
    EXPECT_EQ(earlier.RecordedFiles(), 5u) << "lines not in the format are passed over";
    for (const wchar_t* name : {L"a.", L"com1", L"notes.txt", L"tab\tname", L"old.jpg"})
        EXPECT_TRUE(earlier.CopiedBefore(name, 5, kTime)) << platform::ToUtf8(name);
    EXPECT_FALSE(earlier.CopiedBefore(L"a_", 5, kTime)) << "the copy's name is not the volume's";

    EarlierCopies noSerial;
    noSerial.AddRecord(Wide(copyTo.Path()), kRunWithoutFolder, kSerial, "folder \n" + Line(L"old.jpg", 5));
    EXPECT_EQ(noSerial.RecordedFiles(), 0u) << "a record without a serial number counts for no volume";
}

// A record is used only where Harvex would have written it, and none of its paths leaves "Copy to".
TEST(CopyRecord, PlantedAndEscapingRecordsAreNotUsed) {
    platformtest::TempFolder outside;
    outside.MakeFolder("elsewhere");
    outside.MakeFolder("copyTo");
    outside.MakeFolder("copyTo/000");
    outside.MakeFolder("copyTo/001");
    outside.WriteFile("copyTo/002", "a file, not a folder");
    for (const char* name : {"elsewhere/x.jpg", "copyTo/x.jpg", "copyTo/000/x.jpg"})
        outside.WriteFile(name, "12345");
    const std::wstring copyTo = Wide(outside.At("copyTo"));
    struct Case {
        std::wstring recordName;
        std::wstring folder;
        const char* why;
    };
    const Case unused[] = {
        {L"000.copied", L"../../elsewhere", "a folder line that leaves \"Copy to\""},
        {L"000.copied", L"001", "a folder line that is not the record's own name"},
        {L"003.copied", L"003", "no folder of the record's name"},
        {L"002.copied", L"002", "the name is a file, not a folder"},
        {L"...copied", L"..", "the parent folder"},
        {L"x.copied", L"", "a record of a copy into \"Copy to\" itself that no run named"},
        {L"E 2026-12-07 15-01-02.003.txt", L"", "not a record's name"},
        {L"000.sha256", L"000", "not a record's name"},
    };
    for (const Case& c : unused) {
        EarlierCopies earlier;
        earlier.AddRecord(copyTo, c.recordName, kSerial,
                          CopyRecordHeaderText(kSerial, c.folder) + Line(L"x.jpg", 5));
        EXPECT_EQ(earlier.RecordedFiles(), 0u) << c.why;
    }

    EarlierCopies lines;
    const std::string time = std::to_string(kTime);
    lines.AddRecord(copyTo, L"000.copied", kSerial,
                    CopyRecordHeaderText(kSerial, L"000") + Line(L"x.jpg", 5) +
                        CopyRecordLine(L"y.jpg", L"..\\..\\elsewhere\\x.jpg", 5, kTime) + "5\t" + time +
                        "\t../x.jpg\n" + "5\t" + time + "\tz.jpg\t/x.jpg\n" + "5\t" + time +
                        "\tz.jpg\tC:/x.jpg\n" + "5\t" + time + "\tz.jpg\tx.jpg:stream\n" + "5\t" + time +
                        "\tz.jpg\tsub//x.jpg\n" + "5\t" + time + "\tz.jpg\t./x.jpg\n" + "5\t" + time +
                        "\tz.jpg\tx.jpg\textra\n");
    EXPECT_EQ(lines.RecordedFiles(), 1u) << "only the line whose paths stay inside its folder";
    EXPECT_TRUE(lines.CopiedBefore(L"x.jpg", 5, kTime));
    EXPECT_FALSE(lines.CopiedBefore(L"y.jpg", 5, kTime));

    EXPECT_TRUE(IsRunStemWithoutFolder(L"E 2026-12-07 15-01-02.003"));
    EXPECT_TRUE(IsRunStemWithoutFolder(L"_ 2026-12-07 15-01-02.003"));
    for (const wchar_t* stem :
         {L"E 2026-12-07 15-01-02.03", L"E 2026-12-07 15-01-02.0033", L"e 2026-12-07 15-01-02.003",
          L"E 2026-12-07 15:01-02.003", L"E 2026-12-07 15-01-02.00x", L"E  2026-12-07 15-01-02.00"})
        EXPECT_FALSE(IsRunStemWithoutFolder(stem)) << platform::ToUtf8(stem);
}
