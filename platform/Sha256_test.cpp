#include "platform/Sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string HexOf(const std::string& text) {
    platform::Sha256 hash;
    hash.Update(text.data(), text.size());
    return platform::DigestHex(hash.Finish());
}

} // namespace

// The FIPS 180-2 examples and the empty message.
TEST(Sha256, KnownVectors) {
    EXPECT_EQ(HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, PiecesGiveTheWholeAndFinishStartsAnew) {
    platform::Sha256 hash;
    ASSERT_TRUE(hash.IsValid());
    const std::string chunk(1000, 'a');
    for (int i = 0; i < 1000; ++i)
        hash.Update(chunk.data(), chunk.size());
    EXPECT_EQ(platform::DigestHex(hash.Finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    hash.Update("abc", 3);
    EXPECT_EQ(platform::DigestHex(hash.Finish()), HexOf("abc"));
}
