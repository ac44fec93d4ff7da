// The primitives under every encrypted form, against published test vectors: a fault in them
// would hide from the round-trip tests, where the writer and the reader share it.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jet/crypto_library.h"
#include "jet/rc4.h"

namespace jettest {
namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

jet::Bytes FromHex(const std::string& hex) {
  jet::Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

jet::ByteView Text(const char* text) {
  return {reinterpret_cast<const std::uint8_t*>(text), std::char_traits<char>::length(text)};
}

const jet::CryptoLibrary& Crypto() {
  std::string error;
  const jet::CryptoLibrary* crypto = jet::CryptoLibrary::Get(error);
  EXPECT_NE(crypto, nullptr) << error;
  return *crypto;
}

// FIPS 180 examples: the hashes of "abc", and stretching as repeated hashing of counter + value.
TEST(CipherVectorsTest, HashesOfAbcAndTheirStretching) {
  const std::pair<jet::HashKind, const char*> vectors[] = {
      {jet::HashKind::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {jet::HashKind::Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {jet::HashKind::Sha384,
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
       "34c825a7"},
      {jet::HashKind::Sha512,
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c2"
       "3a3feebbd454d4423643ce80e2a9ac94fa54ca49f"}};
  for (const auto& [kind, expected] : vectors) {
    std::uint8_t hash[jet::kMaxHashSize];
    ASSERT_TRUE(Crypto().Hash(kind, {Text("a"), Text("bc")}, hash));
    EXPECT_EQ(Hex(hash, jet::HashSize(kind)), expected) << jet::HashName(kind);
    std::uint8_t stretched[jet::kMaxHashSize], stepwise[jet::kMaxHashSize];
    std::copy(hash, hash + jet::HashSize(kind), stretched);
    std::copy(hash, hash + jet::HashSize(kind), stepwise);
    ASSERT_TRUE(Crypto().Stretch(kind, 3, stretched));
    for (std::uint8_t round = 0; round < 3; ++round) {
      const std::uint8_t counter[4] = {round, 0, 0, 0};
      ASSERT_TRUE(Crypto().Hash(kind, {jet::ByteView(counter),
                                       jet::ByteView(stepwise, jet::HashSize(kind))}, stepwise));
    }
    EXPECT_EQ(Hex(stretched, jet::HashSize(kind)), Hex(stepwise, jet::HashSize(kind)));
  }
}

// FIPS 197 appendix C (ECB), and CBC as ECB of the block XOR the vector, both ways.
TEST(CipherVectorsTest, AesBlocksOfFips197) {
  const std::pair<const char*, const char*> vectors[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089"}};
  const jet::Bytes plain = FromHex("00112233445566778899aabbccddeeff");
  for (const auto& [key, expected] : vectors) {
    jet::Bytes block = plain;
    ASSERT_TRUE(Crypto().Aes(true, jet::ChainingMode::Ecb, FromHex(key), nullptr, block));
    EXPECT_EQ(Hex(block.data(), block.size()), expected) << key;
    const jet::Bytes iv = FromHex("0f0e0d0c0b0a09080706050403020100");
    jet::Bytes chained = plain;
    for (std::size_t i = 0; i < 16; ++i) chained[i] ^= iv[i];
    ASSERT_TRUE(Crypto().Aes(true, jet::ChainingMode::Ecb, FromHex(key), nullptr, chained));
    jet::Bytes cbc = plain;
    ASSERT_TRUE(Crypto().Aes(true, jet::ChainingMode::Cbc, FromHex(key), iv.data(), cbc));
    EXPECT_EQ(cbc, chained) << key;
    ASSERT_TRUE(Crypto().Aes(false, jet::ChainingMode::Cbc, FromHex(key), iv.data(), cbc));
    EXPECT_EQ(cbc, plain) << key;
  }
  jet::Bytes partial(15);
  EXPECT_FALSE(Crypto().Aes(true, jet::ChainingMode::Ecb, FromHex(vectors[0].first), nullptr,
                            partial));
}

TEST(CipherVectorsTest, Rc4AndBase64Examples) {
  // The classic RC4 examples: key "Key" and "Secret".
  for (const auto& [key, text, expected] :
       {std::tuple{"Key", "Plaintext", "bbf316e8d940af0ad3"},
        std::tuple{"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"}}) {
    std::vector<std::uint8_t> data(Text(text).begin(), Text(text).end());
    jet::Rc4Apply(Text(key), data);
    EXPECT_EQ(Hex(data.data(), data.size()), expected) << key;
  }
  jet::Bytes decoded;
  for (const auto& [text, expected] : {std::pair{"TWFu", "Man"}, std::pair{"TWE=", "Ma"},
                                       std::pair{"TQ==", "M"}, std::pair{"", ""}}) {
    ASSERT_TRUE(Crypto().Base64Decode(text, decoded)) << text;
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), expected);
    EXPECT_EQ(Crypto().Base64Encode(decoded), text);
  }
  for (const char* broken : {"TWF", "!!!!", "TW=u"}) {
    EXPECT_FALSE(Crypto().Base64Decode(broken, decoded)) << broken;
  }
}

}  // namespace
}  // namespace jettest
