#include "copy/ChecksumList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/TempFolder_test.h"
#include "platform/Text.h"

namespace {

platform::Sha256Digest DigestOf(const std::string& text) {
    platform::Sha256 hash;
    hash.Update(text.data(), text.size());
    return hash.Finish();
}

} // namespace

TEST(ChecksumList, LinesEscapeAsSha256sumAndReadBack) {
    const platform::Sha256Digest digest = DigestOf("abc");
    const std::string hex = platform::DigestHex(digest);
    struct Case {
        std::wstring path;
        std::string line;
    };
    const Case cases[] = {
        {L"2026-12-07 15-01-02.003\\DCIM\\IMG_0001.JPG",
         hex + "  2026-12-07 15-01-02.003/DCIM/IMG_0001.JPG\n"},
        {L"a b\\\x00e9t\x00e9.txt", hex + "  a b/\xc3\xa9t\xc3\xa9.txt\n"},
        {L"x\\line\nfeed", "\\" + hex + "  x/line\\nfeed\n"},
        {L"x\\carriage\rreturn", "\\" + hex + "  x/carriage\\rreturn\n"},
    };
    for (const Case& c : cases) {
        const std::string line = ChecksumLine(digest, c.path);
        EXPECT_EQ(line, c.line);
        ChecksumListLine back = ParseChecksumLine(std::string_view(line).substr(0, line.size() - 1));
        EXPECT_EQ(back.kind, ChecksumListLine::Kind::Entry) << line;
        EXPECT_EQ(back.hex, hex);
        EXPECT_EQ(back.relativePath, c.path);
    }
}

TEST(ChecksumList, ReaderReportsWhatIsNotInTheFormat) {
    const std::string hex(64, 'A');
    EXPECT_EQ(ParseChecksumLine("").kind, ChecksumListLine::Kind::Skip);
    EXPECT_EQ(ParseChecksumLine("# Harvex").kind, ChecksumListLine::Kind::Skip);
    ChecksumListLine upper = ParseChecksumLine(hex + " *DCIM/a.jpg\r");
    EXPECT_EQ(upper.kind, ChecksumListLine::Kind::Entry) << "binary mode and a CRLF line end are read";
    EXPECT_EQ(upper.hex, std::string(64, 'a'));
    EXPECT_EQ(upper.relativePath, L"DCIM\\a.jpg");
    for (const std::string& bad :
         {std::string("not a checksum line at all, but long enough to be read as one.....x"),
          hex.substr(1) + "   a.jpg", hex + " a.jpg", hex + "  ", "\\" + hex + "  a\\qb",
          hex + "  ../outside.jpg", hex + "  /etc/passwd", hex + "  C:/x.jpg", hex + "  a//b.jpg",
          std::string("short")}) {
        ChecksumListLine line = ParseChecksumLine(bad);
        EXPECT_EQ(line.kind, ChecksumListLine::Kind::Malformed) << bad;
        EXPECT_FALSE(line.problem.empty());
    }
}

TEST(ChecksumList, CommentsComeFirstAndSayWhatTheRunWas) {
    ChecksumListHeader header;
    header.program = L"Harvex 2.0";
    header.source = L"E:";
    header.label = L"CARD\nX";
    header.serial = 0x1234ABCD;
    header.folder = L"2026-12-07 15-01-02.003";
    header.started = platform::LocalTime{2026, 12, 7, 15, 1, 2, 3};
    EXPECT_EQ(ChecksumListHeaderText(header),
              "# Harvex 2.0 checksum list (SHA-256); check with: sha256sum -c\n"
              "# Drive E:, volume label \"CARD X\", serial number 1234-ABCD\n"
              "# Folder: 2026-12-07 15-01-02.003\n"
              "# Started: 2026-12-07 15:01:02\n");
    const platform::LocalTime ended{2026, 12, 7, 15, 3, 4, 0};
    EXPECT_EQ(ChecksumListEndText(ended, false, 0), "# Ended: 2026-12-07 15:03:04\n");
    EXPECT_NE(ChecksumListEndText(ended, true, 0).find("# Not complete: the run was stopped"),
              std::string::npos);
    EXPECT_NE(ChecksumListEndText(ended, false, 2).find("# Not complete: the run had 2 errors"),
              std::string::npos);
}

// The list a run writes is one that GNU sha256sum accepts, run in the list's folder.
TEST(ChecksumList, Sha256sumChecksTheWrittenList) {
    platformtest::TempFolder temp;
    temp.MakeFolder("run");
    temp.MakeFolder("run/sub dir");
    const std::string names[] = {"run/plain.txt", "run/sub dir/with\\backslash", "run/new\nline"};
    std::string list = ChecksumListHeaderText(ChecksumListHeader{L"Harvex 2.0", L"E:", L"", {}, L"run", {}});
    for (const std::string& name : names) {
        temp.WriteFile(name, "content of " + name);
        std::wstring path = platform::FromUtf8(name);
        // The walk's paths use backslashes; a backslash inside a POSIX name cannot be told apart.
        if (name.find('\\') != std::string::npos)
            continue;
        for (wchar_t& c : path)
            if (c == L'/')
                c = L'\\';
        list += ChecksumLine(DigestOf("content of " + name), path);
    }
    list += ChecksumListEndText({}, false, 0);
    std::ofstream(temp.At("run.sha256"), std::ios::binary) << list;
    const std::string command =
        "cd '" + temp.Path() + "' && sha256sum --quiet --strict -c run.sha256 >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << list;
}
