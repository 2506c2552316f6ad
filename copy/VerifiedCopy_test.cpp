#include "copy/VerifiedCopy.h"

#include "platform/TempFolder_test.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Changes the copy's first byte on disk once the copy loop has written its last byte, before the
// read-back: what a bad card reader, cable or disk does to data after it was handed over.
struct Corrupter {
    std::string path;
    int timesLeft = 0;
    int copies = 0;
};

bool CorruptAfterLastWrite(uint64_t total, uint64_t done, void* context) {
    auto& corrupter = *static_cast<Corrupter*>(context);
    if (done == 0)
        ++corrupter.copies;
    if (total == 0 || done != total || corrupter.timesLeft == 0)
        return false;
    --corrupter.timesLeft;
    const int fd = ::open(corrupter.path.c_str(), O_WRONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::pwrite(fd, "X", 1, 0), 1);
    ::close(fd);
    return false;
}

std::wstring Wide(const std::string& path) {
    return platform::FromUtf8(path);
}

platform::Sha256Digest DigestOf(const std::string& text) {
    platform::Sha256 hash;
    hash.Update(text.data(), text.size());
    return hash.Finish();
}

} // namespace

TEST(VerifiedCopy, CatchesACopyChangedBetweenWriteAndReadBack) {
    platformtest::TempFolder temp;
    const std::string content(3 << 20, 'c');
    temp.WriteFile("source.bin", content);
    const std::wstring source = Wide(temp.At("source.bin"));
    const std::wstring destination = Wide(temp.At("copy.bin"));

    Corrupter clean{temp.At("copy.bin"), 0};
    VerifiedCopyResult ok = CopyAndVerify(source, destination, CorruptAfterLastWrite, &clean, nullptr);
    EXPECT_EQ(ok.error, platform::kSuccess);
    EXPECT_FALSE(ok.differs);
    EXPECT_EQ(ok.digest, DigestOf(content));
    EXPECT_EQ(clean.copies, 1);

    Corrupter once{temp.At("copy2.bin"), 1};
    VerifiedCopyResult retried =
        CopyAndVerify(source, Wide(temp.At("copy2.bin")), CorruptAfterLastWrite, &once, nullptr);
    EXPECT_EQ(retried.error, platform::kSuccess);
    EXPECT_FALSE(retried.differs) << "the second copy was good";
    EXPECT_EQ(once.copies, 2) << "written again once";
    EXPECT_EQ(temp.ReadFile("copy2.bin"), content);

    Corrupter always{temp.At("copy3.bin"), 2};
    VerifiedCopyResult failed =
        CopyAndVerify(source, Wide(temp.At("copy3.bin")), CorruptAfterLastWrite, &always, nullptr);
    EXPECT_TRUE(failed.differs);
    EXPECT_EQ(always.copies, 2) << "only one retry";
    EXPECT_FALSE(temp.Exists("copy3.bin")) << "a copy that differs twice is removed";
}

TEST(VerifiedCopy, StopAndMissingSourceLeaveNoCopy) {
    platformtest::TempFolder temp;
    temp.WriteFile("source.bin", std::string(5 << 20, 's'));
    std::atomic<int32_t> stop{1};
    VerifiedCopyResult stopped =
        CopyAndVerify(Wide(temp.At("source.bin")), Wide(temp.At("copy.bin")), nullptr, nullptr, &stop);
    EXPECT_EQ(stopped.error, platform::kErrorRequestAborted);
    EXPECT_FALSE(temp.Exists("copy.bin"));

    VerifiedCopyResult missing =
        CopyAndVerify(Wide(temp.At("none.bin")), Wide(temp.At("copy.bin")), nullptr, nullptr, nullptr);
    EXPECT_EQ(missing.error, platform::kErrorFileNotFound);
    EXPECT_FALSE(temp.Exists("copy.bin"));
}
