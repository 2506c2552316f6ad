#include "copy/ListCheck.h"

#include "copy/ChecksumList.h"
#include "copy/CopyTesting_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace {

platform::Sha256Digest DigestOf(const std::string& text) {
    platform::Sha256 hash;
    hash.Update(text.data(), text.size());
    return hash.Finish();
}

class ListCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir.MakeFolder("run");
        m_dir.MakeFolder("run/DCIM");
        std::string list = ChecksumListHeaderText(ChecksumListHeader{L"Harvex", L"E:", L"", {}, L"run", {}});
        for (const char* name : {"run/DCIM/a.jpg", "run/DCIM/b.jpg", "run/c.txt"}) {
            m_dir.WriteFile(name, std::string("content of ") + name);
            std::wstring path = platform::FromUtf8(name);
            for (wchar_t& c : path)
                if (c == L'/')
                    c = L'\\';
            list += ChecksumLine(DigestOf(std::string("content of ") + name), path);
        }
        m_list = list + ChecksumListEndText({}, false, 0);
    }

    // stopAt: the look-up (counted from 1) during which Stop comes; 0 for a Stop before the check.
    std::vector<std::wstring> CheckList(const std::string& text, std::optional<int> stopAt = std::nullopt) {
        std::ofstream(m_dir.At("run.sha256"), std::ios::binary) << text;
        copytest::RecordingHost host;
        CListCheck check(&host);
        m_lookUps = 0;
        if (stopAt) {
            m_stopAt = *stopAt;
            m_check = &check;
            check.SetLookUp(&CountingLookUp, this);
            if (m_stopAt == 0)
                check.Stop();
        }
        m_problems = check.Check(platform::FromUtf8(m_dir.At("run.sha256")));
        std::vector<std::wstring> texts = host.Texts();
        return std::vector<std::wstring>(texts.begin() + 1, texts.end()); // without "Verifying ..."
    }

    std::wstring Path(const std::string& rel) {
        return platform::FromUtf8(m_dir.Path()) + L"\\" + platform::FromUtf8(rel);
    }

    static platform::ErrorCode CountingLookUp(const std::wstring& path, platform::FileInfo& info,
                                              void* context) {
        auto& test = *static_cast<ListCheckTest*>(context);
        if (++test.m_lookUps == test.m_stopAt)
            test.m_check->Stop();
        return platform::GetFileInfo(path, info);
    }

    copytest::TempFolder m_dir;
    std::string m_list;
    uint32_t m_problems = 0;
    int m_lookUps = 0;
    int m_stopAt = 0;
    CListCheck* m_check = nullptr;
};

} // namespace

TEST_F(ListCheckTest, AnIntactCopyMatches) {
    EXPECT_EQ(CheckList(m_list), std::vector<std::wstring>{L"Verified: 3 files match."});
    EXPECT_EQ(m_problems, 0u);
}

TEST_F(ListCheckTest, ChangedMissingAndMalformedLinesAreEachReported) {
    m_dir.WriteFile("run/DCIM/a.jpg", "changed");
    ::unlink(m_dir.At("run/c.txt").c_str());
    const std::vector<std::wstring> texts = CheckList(m_list + "not a checksum line\n");
    const std::vector<std::wstring> expected = {
        L"Line 9 of the list is not a checksum line: the line is too short for a checksum and a name.",
        L"Differs: " + Path("run\\DCIM\\a.jpg"),
        L"Missing: " + Path("run\\c.txt"),
        L"Verify found 3 problems.",
    };
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(m_problems, 3u);
}

TEST_F(ListCheckTest, StopIsSeenBeforeAndBetweenTheLookUps) {
    EXPECT_EQ(CheckList(m_list, 0), std::vector<std::wstring>{L"Stopped."});
    EXPECT_EQ(m_lookUps, 0) << "a dead share is not asked at all";
    EXPECT_EQ(CheckList(m_list, 2), std::vector<std::wstring>{L"Stopped."});
    EXPECT_EQ(m_lookUps, 2) << "the look-up under way ends, no other begins";
}

TEST_F(ListCheckTest, AListThatCannotVouchForAWholeCopyNeverReadsAsVerified) {
    const std::string header =
        ChecksumListHeaderText(ChecksumListHeader{L"Harvex", L"E:", L"", {}, L"run", {}});
    const std::wstring noFiles = L"The list names no files: it does not show that anything was copied.";
    const std::wstring noEnd =
        L"The list has no closing \"# Ended:\" line: the run that wrote it did not end, so "
        L"it may not name every file of the copy.";
    EXPECT_EQ(CheckList(header + ChecksumListEndText({}, false, 0)),
              (std::vector<std::wstring>{noFiles, L"Verify found 1 problem."}));
    EXPECT_EQ(m_problems, 1u);

    // A run that was killed: every entry it has is still checked.
    m_dir.WriteFile("run/c.txt", "changed");
    const std::string killed = m_list.substr(0, m_list.find("# Ended:"));
    EXPECT_EQ(CheckList(killed), (std::vector<std::wstring>{noEnd, L"Differs: " + Path("run\\c.txt"),
                                                            L"Verify found 2 problems."}));
    EXPECT_EQ(m_problems, 2u);

    m_dir.WriteFile("run/c.txt", "content of run/c.txt");
    EXPECT_EQ(
        CheckList(killed + ChecksumListEndText({}, true, 0)),
        (std::vector<std::wstring>{L"The list is not complete: the run was stopped; only the files listed "
                                   L"were copied and verified.",
                                   L"Verify found 1 problem."}));
}

TEST_F(ListCheckTest, ControlCharactersInNamesNeitherHideNorSplitLines) {
    const std::string name("run/a\0b\001c\td.jpg", 15);
    const std::string line = platform::DigestHex(DigestOf("x")) + "  " + name + "\n";
    const std::string list =
        m_list.substr(0, m_list.find("# Ended:")) + line + ChecksumListEndText({}, false, 0);
    EXPECT_EQ(CheckList(list), (std::vector<std::wstring>{L"Missing: " + Path("run\\a?b?c?d.jpg"),
                                                          L"Verify found 1 problem."}));
}
