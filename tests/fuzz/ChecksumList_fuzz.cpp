// Checksum lists and copy records as a user, another program or a damaged disk may leave them: a line
// is an entry that stays inside the list's folder, or it is reported; a record never names a copy
// outside "Copy to".
#include "FuzzInput.h"
#include "copy/ChecksumList.h"
#include "copy/CopyRecord.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const ChecksumListLine line = ParseChecksumLine(std::string_view(text).substr(start, end - start));
        if (line.kind == ChecksumListLine::Kind::Entry) {
            FUZZ_CHECK(line.hex.size() == 64);
            FUZZ_CHECK(!line.relativePath.empty() && line.relativePath[0] != L'\\');
            FUZZ_CHECK(line.relativePath.find(L':') == std::wstring::npos);
            FUZZ_CHECK(line.relativePath.find(L"..\\") != 0);
            // What is read back is written out the same way.
            platform::Sha256Digest digest{};
            const std::string again = ChecksumLine(digest, line.relativePath);
            const ChecksumListLine reread =
                ParseChecksumLine(std::string_view(again).substr(0, again.size() - 1));
            FUZZ_CHECK(reread.kind == ChecksumListLine::Kind::Entry &&
                       reread.relativePath == line.relativePath);
        } else if (line.kind == ChecksumListLine::Kind::Malformed) {
            FUZZ_CHECK(!line.problem.empty());
        }
        start = end + 1;
    }
    EarlierCopies earlier;
    // A run name with no folder of its own: the record is read whatever folders exist.
    earlier.AddRecord(L"/nonexistent-copy-to", L"E 2026-12-07 15-01-02.003.copied", 0x12345678, text);
    FUZZ_CHECK(!earlier.CopiedBefore(L"a", 0, 0)); // no copy exists there
    return 0;
}
