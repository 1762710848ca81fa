#include "package/md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(const unsigned char* bytes, size_t n) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    snprintf(two, sizeof two, "%02x", bytes[i]);
    out += two;
  }
  return out;
}

// Digest of `message` fed in pieces cut at `cuts` (ascending positions).
std::string Digest(MD5_CTX& md5, const std::string& message, std::vector<size_t> cuts = {}) {
  size_t start = 0;
  cuts.push_back(message.size());
  for (size_t cut : cuts) {
    md5.MD5Update(reinterpret_cast<const unsigned char*>(message.data()) + start, cut - start);
    start = cut;
  }
  unsigned char digest[16];
  md5.MD5Final(digest);
  return Hex(digest, 16);
}

struct KnownAnswer {
  std::string message;
  const char* digest;
};

// RFC 1321 appendix A.5, and messages around the padding boundaries.
const KnownAnswer kAnswers[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
    {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
};

TEST(MD5, KnownAnswersInOnePiece) {
  for (const KnownAnswer& a : kAnswers) {
    MD5_CTX md5;
    EXPECT_EQ(Digest(md5, a.message), a.digest) << "length " << a.message.size();
  }
}

TEST(MD5, KnownAnswersSplitAtBlockBoundaries) {
  const std::vector<std::vector<size_t>> splits = {{55}, {56}, {63}, {64}, {1, 55, 56}, {63, 64, 65}, {0, 0, 70}};
  for (const KnownAnswer& a : kAnswers) {
    for (const auto& split : splits) {
      if (split.back() > a.message.size()) continue;
      MD5_CTX md5;
      EXPECT_EQ(Digest(md5, a.message, split), a.digest) << "length " << a.message.size() << " cut at " << split[0];
    }
    // Byte by byte.
    std::vector<size_t> every;
    for (size_t i = 1; i < a.message.size(); ++i) every.push_back(i);
    MD5_CTX md5;
    EXPECT_EQ(Digest(md5, a.message, every), a.digest) << "byte by byte, length " << a.message.size();
  }
}

TEST(MD5, ObjectIsReadyAgainAfterFinal) {
  MD5_CTX md5;
  EXPECT_EQ(Digest(md5, "message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Digest(md5, "abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Digest(md5, ""), "d41d8cd98f00b204e9800998ecf8427e");
}

// Inputs chosen so that their digests show each rule of the key tweak.
TEST(DerivePackageKey, Tweaks) {
  struct Case {
    const char* input;
    const char* digest;  // MD5 of the input, for the reader
    const char* key;
    const char* shows;
  };
  const Case cases[] = {
      {"k279", "d56b28d9d9008155c294d0e65e2f96c3", "c46b28c8d9059055c285d0e64f2f96d2", "zero at 5 becomes 5"},
      {"k171", "8d1f71842d9c00b72f4e1ca747810e95", "9c1f71952d9c17b72f5f1ca756810e84", "zero at 6 becomes 0x17"},
      {"k441", "000f069c0b32888df986167fb1610f9d", "110f068d0b32998df997167fa0610f8c", "zero at 0 becomes 0x11"},
      {"k626", "59f4db112da89a76b8ae30caeabe3eb5", "48f4db002da88b76b8bf30cafbbe3ea4", "0x11 at 3 becomes 0"},
      {"907153", "f4194dd1c1a5e5ca18988f4b56c7eab1", "e5194dc0c1a5f4ca18898f4b47c7eaa0", "the archive key"},
  };
  for (const Case& c : cases) {
    std::string input = c.input;
    MD5_CTX md5;
    EXPECT_EQ(Digest(md5, input), c.digest) << c.input;
    unsigned char key[16];
    DerivePackageKey(reinterpret_cast<const unsigned char*>(input.data()), input.size(), key);
    EXPECT_EQ(Hex(key, 16), c.key) << c.shows;
  }
}

}  // namespace
