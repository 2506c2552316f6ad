#include "copy/ListCheck.h"

#include "copy/ChecksumList.h"
#include "copy/CopyTesting_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <fstream>

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

    std::vector<std::wstring> CheckList(const std::string& text) {
        std::ofstream(m_dir.At("run.sha256"), std::ios::binary) << text;
        copytest::RecordingHost host;
        CListCheck check(&host);
        m_problems = check.Check(platform::FromUtf8(m_dir.At("run.sha256")));
        std::vector<std::wstring> texts = host.Texts();
        return std::vector<std::wstring>(texts.begin() + 1, texts.end()); // without "Verifying ..."
    }

    std::wstring Path(const std::string& rel) {
        return platform::FromUtf8(m_dir.Path()) + L"\\" + platform::FromUtf8(rel);
    }

    copytest::TempFolder m_dir;
    std::string m_list;
    uint32_t m_problems = 0;
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
