// Encoded, password-protected and encrypted files: each form the writer makes reads every value
// as its plain twin does with the right password, refuses a missing, empty or wrong one, and a
// damaged description of its encryption is refused with what is wrong, never a crash. The
// primitives under every encrypted form are checked against published test vectors: a fault in
// them would hide from the round trips, where the writer and the reader share it.
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "jet/crypto_library.h"
#include "jet/database.h"
#include "jet/encryption_info.h"
#include "jet/format.h"
#include "jet/rc4.h"
#include "mdb_writer.h"
#include "round_trip.h"
#include "sample_files.h"
#include "tests/support/fixtures.h"
#include "tests/support/child_process.h"
#include "tests/support/process_libraries.h"
#include "tests/support/temp_folder.h"
#include "read_everything.h"

namespace jettest {
namespace {

using mkmdb::Encryption;
using mkmdb::Protection;
using mkmdb_test::HexBytes;
using mkmdb_test::HexText;

constexpr char kPassword[] = "Mot de passe é 日本";
constexpr std::uint32_t kTestSpinCount = 1000;

struct Form {
  const char* name;
  Protection protection;
  jet::Encryption expected;
};

Protection Protect(bool encode, const std::string& password,
                   Encryption form = Encryption::None, bool accdb = false) {
  return {encode, password, form, accdb, kTestSpinCount};
}

Protection Encrypted(Encryption form, bool accdb = false) {
  return Protect(false, kPassword, form, accdb);
}

const std::vector<Form>& Forms() {
  static const std::vector<Form> forms = {
      {"encoded", Protect(true, ""), jet::Encryption::JetEncoding},
      {"database password", Protect(false, "Flügel"), jet::Encryption::None},
      {"encoded with a password", Protect(true, kPassword), jet::Encryption::JetEncoding},
      {"plain .accdb", Protect(false, "", Encryption::None, true), jet::Encryption::None},
      {"RC4 CryptoAPI", Encrypted(Encryption::Rc4CryptoApi), jet::Encryption::Rc4CryptoApi},
      {"AES standard", Encrypted(Encryption::Standard), jet::Encryption::Standard},
      {"AES agile, SHA-1", Encrypted(Encryption::AgileSha1), jet::Encryption::Agile},
      {"AES agile, SHA-512", Encrypted(Encryption::AgileSha512), jet::Encryption::Agile},
      {"RC4 CryptoAPI .accdb", Encrypted(Encryption::Rc4CryptoApi, true),
       jet::Encryption::Rc4CryptoApi},
      {"AES agile .accdb", Encrypted(Encryption::AgileSha512, true), jet::Encryption::Agile},
  };
  return forms;
}

std::vector<mkmdb::TableSpec> Tables() { return {EveryTypeTable(), MemoTable()}; }

std::unique_ptr<jet::Database> OpenWith(const std::string& bytes,
                                        const std::optional<std::string>& password,
                                        std::string& error, jet::OpenFailure& failure) {
  return jet::Database::OpenBytes(bytes, jet::OpenOptions{password}, error, &failure);
}

TEST(ProtectionTest, RightPasswordReadsEveryValueAsThePlainTwinDoes) {
  std::string error;
  jet::OpenFailure failure{};
  const std::string plainBytes = DatabaseBytes(Tables());
  const auto plain = jet::Database::OpenBytes(plainBytes, error);
  ASSERT_NE(plain, nullptr) << error;
  EXPECT_NE(plainBytes.find("Airbus"), std::string::npos);
  for (const Form& form : Forms()) {
    const std::string bytes = DatabaseBytes(Tables(), {}, form.protection);
    const auto database = OpenWith(bytes, form.protection.password, error, failure);
    ASSERT_NE(database, nullptr) << form.name << ": " << error;
    EXPECT_EQ(database->FileEncryption(), form.expected) << form.name;
    EXPECT_EQ(database->FileVersion(),
              form.protection.accdb ? jet::Version::Ace : jet::Version::Jet4) << form.name;
    for (const mkmdb::TableSpec& table : Tables()) {
      EXPECT_EQ(TableText(*database, table.name), TableText(*plain, table.name))
          << form.name << ", table " << table.name;
    }
    // Enciphered pages no longer show the stored text.
    EXPECT_EQ(bytes.find("Airbus") == std::string::npos,
              form.expected != jet::Encryption::None) << form.name;
    // The binary forms name their cryptographic provider (UTF-16), as Access writes it.
    const char* provider = form.expected == jet::Encryption::Rc4CryptoApi ? "Microsoft Base Cryptographic Provider v1.0"
                           : form.expected == jet::Encryption::Standard
                               ? "Microsoft Enhanced RSA and AES Cryptographic Provider"
                               : nullptr;
    if (provider != nullptr) {
      std::string wide;
      for (const char* c = provider; *c != '\0'; ++c) wide += {*c, '\0'};
      EXPECT_NE(bytes.find(wide + std::string(2, '\0')), std::string::npos) << form.name;
    }
  }
}

TEST(ProtectionTest, MissingEmptyOrWrongPasswordIsRefused) {
  struct Attempt {
    std::optional<std::string> password;
    jet::OpenFailure expected;
  };
  for (const Form& form : Forms()) {
    const std::string bytes = DatabaseBytes(Tables(), {}, form.protection);
    const std::string& right = form.protection.password;
    std::string error;
    jet::OpenFailure failure{};
    if (right.empty()) {  // an encoded file asks for no password and ignores one
      for (const auto& given : {std::optional<std::string>(), std::optional<std::string>("x")}) {
        EXPECT_NE(OpenWith(bytes, given, error, failure), nullptr) << form.name << ": " << error;
      }
      continue;
    }
    std::string otherCase = right;
    otherCase[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(otherCase[0])));
    for (const Attempt& attempt :
         {Attempt{std::nullopt, jet::OpenFailure::PasswordNeeded},
          Attempt{"", jet::OpenFailure::PasswordNeeded},
          Attempt{"wrong", jet::OpenFailure::PasswordWrong},
          Attempt{otherCase, jet::OpenFailure::PasswordWrong},
          Attempt{right + "x", jet::OpenFailure::PasswordWrong}}) {
      const std::string given = attempt.password.value_or("(none)");
      EXPECT_EQ(OpenWith(bytes, attempt.password, error, failure), nullptr)
          << form.name << ", " << given;
      EXPECT_EQ(failure, attempt.expected) << form.name << ", " << given << ": " << error;
      EXPECT_NE(error.find("password"), std::string::npos) << error;
      EXPECT_EQ(error.find(right), std::string::npos) << error;
      if (attempt.password && !given.empty()) {
        EXPECT_EQ(error.find(given), std::string::npos);
      }
    }
  }
}

// Every user table of a file as mdb-export (mdbtools, which decodes encoded pages) writes it.
std::string ExportedTables(const std::string& path, const jet::Database& database) {
  std::string out;
  for (const jet::CatalogTable& table : database.Tables()) {
    if (table.system) continue;
    testsupport::ChildOptions options;
    options.argv = {"mdb-export", path, table.name};
    options.mergeErrors = true;
    out += testsupport::RunChild(options, std::chrono::seconds(120)).out;
  }
  return out;
}

// Files Access made, encoded and given a password afterwards (Jet 3 passwords are code page
// text: "Müller" is six bytes of code page 1252). mdbtools reads the encoded file as it reads
// the plain one, a check of the encoding from outside.
TEST(ProtectionTest, AccessMadeFilesEncodedWithAPasswordReadAsBefore) {
  for (const char* fixture : {"jet3-sample.mdb", "access-made-jet4.mdb"}) {
    SKIP_WITHOUT_FIXTURE(fixture);
    const std::string plainBytes = testsupport::ReadFile(testsupport::FixturePath(fixture));
    std::string error;
    jet::OpenFailure failure{};
    const auto plain = jet::Database::OpenBytes(plainBytes, error);
    ASSERT_NE(plain, nullptr) << error;
    std::string bytes = plainBytes;
    mkmdb::ProtectImage(bytes, 0x5EC12E7, "Müller");
    EXPECT_EQ(OpenWith(bytes, "müller", error, failure), nullptr) << fixture;
    EXPECT_EQ(failure, jet::OpenFailure::PasswordWrong) << fixture << ": " << error;
    const auto database = OpenWith(bytes, "Müller", error, failure);
    ASSERT_NE(database, nullptr) << fixture << ": " << error;
    EXPECT_EQ(database->FileEncryption(), jet::Encryption::JetEncoding);
    for (const jet::CatalogTable& table : plain->Tables()) {
      EXPECT_EQ(TableText(*database, table.name), TableText(*plain, table.name))
          << fixture << ", table " << table.name;
    }
    EXPECT_ANY_THROW(mkmdb::ProtectImage(bytes, 1, "")) << "encoded twice";
    const testsupport::TempFolder folder("jet-encoded-fixture");
    const std::string encodedPath = folder.Path(fixture);
    testsupport::WriteFile(encodedPath, bytes);
    EXPECT_EQ(ExportedTables(encodedPath, *plain),
              ExportedTables(testsupport::FixturePath(fixture), *plain))
        << fixture;
  }
}

// The bytes of an encrypted file with its encryption description edited.
class Description {
 public:
  explicit Description(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint8_t* At(std::size_t offset) {
    return reinterpret_cast<std::uint8_t*>(bytes_.data()) + jet::kEncryptionInfoStart + offset;
  }
  void SetLength(std::uint16_t length) {
    jet::PutU16(reinterpret_cast<std::uint8_t*>(bytes_.data()) + jet::kEncryptionInfoOffset,
                length);
  }
  // Replaces the first `from` after the version by `to`, the length following.
  void Replace(const std::string& from, const std::string& to) {
    const std::size_t length = jet::GetU16(At(0) - 2);
    std::string text = bytes_.substr(jet::kEncryptionInfoStart, length);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    bytes_.replace(jet::kEncryptionInfoStart, std::max(length, text.size()),
                   text + std::string(length > text.size() ? length - text.size() : 0, '\0'));
    SetLength(static_cast<std::uint16_t>(text.size()));
  }
  // Changes the Base64 letter just after `after` to another one.
  void ChangeLetterAfter(const std::string& after) {
    const std::size_t at = bytes_.find(after, jet::kEncryptionInfoStart);
    ASSERT_NE(at, std::string::npos) << after;
    char& letter = bytes_[at + after.size()];
    letter = letter == 'A' ? 'B' : 'A';
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

TEST(ProtectionTest, DamagedEncryptionDescriptionsAreRefusedSayingWhatIsWrong) {
  using Edit = void (*)(Description&);
  struct Damage {
    const char* what;
    Encryption form;
    Edit edit;
    const char* message;
    jet::OpenFailure failure = jet::OpenFailure::Unreadable;
  };
  const Damage damages[] = {
      {"length past the page", Encryption::AgileSha512, [](Description& d) { d.SetLength(0xF000); },
       "does not fit page 0"},
      {"length below a version", Encryption::AgileSha512, [](Description& d) { d.SetLength(3); },
       "no room for its version"},
      {"unknown version", Encryption::AgileSha1,
       [](Description& d) { jet::PutU16(d.At(0), 9); jet::PutU16(d.At(2), 9); }, "version 9.9"},
      {"extensible provider", Encryption::Standard,
       [](Description& d) { jet::PutU16(d.At(2), 3); }, "extensible"},
      {"Office 97 RC4", Encryption::Rc4CryptoApi,
       [](Description& d) { jet::PutU16(d.At(0), 1); jet::PutU16(d.At(2), 1); }, "Office 97"},
      {"external provider flag", Encryption::Standard,
       [](Description& d) { jet::PutU32(d.At(4), 0x34); }, "external"},
      {"header size past the end", Encryption::Standard,
       [](Description& d) { jet::PutU32(d.At(8), 0x7FFFFFF0); }, "EncryptionHeader size"},
      {"RC4 named with the AES flag", Encryption::Standard,
       [](Description& d) { jet::PutU32(d.At(20), jet::kAlgorithmRc4); }, "not AES-128"},
      {"RC4 key of 44 bits", Encryption::Rc4CryptoApi,
       [](Description& d) { jet::PutU32(d.At(28), 44); }, "key length of 44 bits"},
      {"salt of 17 bytes", Encryption::Rc4CryptoApi,
       [](Description& d) { d.Replace(std::string("\x10\0\0\0", 4), std::string("\x11\0\0\0", 4)); },
       "EncryptionVerifier is cut short or has a salt of 17 bytes and a hash of 0"},
      {"verifier cut before its salt", Encryption::Standard,
       [](Description& d) { d.SetLength(12 + jet::GetU32(d.At(8))); }, "a salt of 0 bytes and a hash of 0"},
      {"no keyData", Encryption::AgileSha512,
       [](Description& d) { d.Replace("<keyData", "<keyDota"); }, "no keyData element"},
      {"DES", Encryption::AgileSha1,
       [](Description& d) { d.Replace("\"AES\"", "\"DES\""); }, "DES, not AES"},
      {"MD5", Encryption::AgileSha512,
       [](Description& d) { d.Replace("\"SHA512\"", "\"MD5\""); }, "the hash MD5"},
      {"AES key of 100 bits", Encryption::AgileSha512,
       [](Description& d) { d.Replace("keyBits=\"256\"", "keyBits=\"100\""); }, "100 bits"},
      {"spin count past ten million", Encryption::AgileSha1,
       [](Description& d) { d.Replace("spinCount=\"1000\"", "spinCount=\"10000001\""); },
       "spinCount"},
      {"salt not Base64", Encryption::AgileSha1,
       [](Description& d) { d.Replace("saltValue=\"", "saltValue=\"!!!!"); }, "not Base64"},
      {"unquoted attribute", Encryption::AgileSha1,
       [](Description& d) { d.Replace("blockSize=\"16\"", "blockSize=16  "); }, "not quoted"},
      {"descriptor cut short", Encryption::AgileSha512,
       [](Description& d) { d.SetLength(400); }, "descriptor"},
      {"verifier hash altered", Encryption::AgileSha1,
       [](Description& d) { d.ChangeLetterAfter("encryptedVerifierHashValue=\""); },
       "does not open it", jet::OpenFailure::PasswordWrong},
      {"an .accdb without its description", Encryption::Rc4CryptoApi,
       [](Description& d) { d.SetLength(0); }, "describes no encryption"},
  };
  for (const Damage& damage : damages) {
    const bool accdb = damage.message == std::string("describes no encryption");
    Description description(DatabaseBytes(Tables(), {}, Encrypted(damage.form, accdb)));
    damage.edit(description);
    std::string error;
    jet::OpenFailure failure{};
    EXPECT_EQ(OpenWith(description.bytes(), kPassword, error, failure), nullptr) << damage.what;
    EXPECT_EQ(failure, damage.failure) << damage.what << ": " << error;
    EXPECT_NE(error.find(damage.message), std::string::npos) << damage.what << ": " << error;
  }
}

bool CryptoLibraryMapped() { return testsupport::LibraryMapped("libcrypto"); }

// In a process of its own (this test binary started again with the files to read): plain and
// encoded files never open the cryptography library, the first encrypted one does.
TEST(ProtectionTest, CryptoLibraryIsOpenedOnlyForEncryptedFiles) {
  constexpr char kProbe[] = "JET_CRYPTO_PROBE_FOLDER";
  std::string error;
  if (const char* folder = std::getenv(kProbe)) {
    EXPECT_FALSE(CryptoLibraryMapped());
    EXPECT_NE(jet::Database::Open(std::string(folder) + "/encoded.mdb", error), nullptr) << error;
    EXPECT_FALSE(CryptoLibraryMapped());
    EXPECT_NE(jet::Database::Open(std::string(folder) + "/agile.mdb", {kPassword}, error),
              nullptr) << error;
    EXPECT_TRUE(CryptoLibraryMapped());
    return;
  }
  const testsupport::TempFolder folder("jet-crypto-probe");
  for (const auto& [name, protection] :
       {std::pair{"encoded.mdb", Protect(true, "")},
        std::pair{"agile.mdb", Encrypted(Encryption::AgileSha1)}}) {
    testsupport::WriteFile(folder.Path(name), DatabaseBytes(Tables(), {}, protection));
  }
  testsupport::ChildOptions probe;
  probe.argv = {std::filesystem::read_symlink("/proc/self/exe").string(),
                "--gtest_filter=ProtectionTest.CryptoLibraryIsOpenedOnlyForEncryptedFiles"};
  probe.environment = {{kProbe, folder.path()}};
  const testsupport::ChildResult run = testsupport::RunChild(probe, std::chrono::seconds(120));
  EXPECT_EQ(run.How(), "exit 0") << run.out << run.err;
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
    EXPECT_EQ(HexText(hash, jet::HashSize(kind)), expected) << jet::HashName(kind);
    std::uint8_t stretched[jet::kMaxHashSize], stepwise[jet::kMaxHashSize];
    std::copy(hash, hash + jet::HashSize(kind), stretched);
    std::copy(hash, hash + jet::HashSize(kind), stepwise);
    ASSERT_TRUE(Crypto().Stretch(kind, 3, stretched));
    for (std::uint8_t round = 0; round < 3; ++round) {
      const std::uint8_t counter[4] = {round, 0, 0, 0};
      ASSERT_TRUE(Crypto().Hash(kind, {jet::ByteView(counter),
                                       jet::ByteView(stepwise, jet::HashSize(kind))}, stepwise));
    }
    EXPECT_EQ(HexText(stretched, jet::HashSize(kind)), HexText(stepwise, jet::HashSize(kind)));
  }
}

// FIPS 197 appendix C (ECB), and CBC as ECB of the block XOR the vector, both ways.
TEST(CipherVectorsTest, AesBlocksOfFips197) {
  const std::pair<const char*, const char*> vectors[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089"}};
  const jet::Bytes plain = HexBytes("00112233445566778899aabbccddeeff");
  for (const auto& [key, expected] : vectors) {
    jet::Bytes block = plain;
    ASSERT_TRUE(Crypto().Aes(true, jet::ChainingMode::Ecb, HexBytes(key), nullptr, block));
    EXPECT_EQ(HexText(block.data(), block.size()), expected) << key;
    const jet::Bytes iv = HexBytes("0f0e0d0c0b0a09080706050403020100");
    jet::Bytes chained = plain;
    for (std::size_t i = 0; i < 16; ++i) chained[i] ^= iv[i];
    ASSERT_TRUE(Crypto().Aes(true, jet::ChainingMode::Ecb, HexBytes(key), nullptr, chained));
    jet::Bytes cbc = plain;
    ASSERT_TRUE(Crypto().Aes(true, jet::ChainingMode::Cbc, HexBytes(key), iv.data(), cbc));
    EXPECT_EQ(cbc, chained) << key;
    ASSERT_TRUE(Crypto().Aes(false, jet::ChainingMode::Cbc, HexBytes(key), iv.data(), cbc));
    EXPECT_EQ(cbc, plain) << key;
  }
  jet::Bytes partial(15);
  EXPECT_FALSE(Crypto().Aes(true, jet::ChainingMode::Ecb, HexBytes(vectors[0].first), nullptr,
                            partial));
}

TEST(CipherVectorsTest, Rc4AndBase64Examples) {
  // The classic RC4 examples: key "Key" and "Secret".
  for (const auto& [key, text, expected] :
       {std::tuple{"Key", "Plaintext", "bbf316e8d940af0ad3"},
        std::tuple{"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"}}) {
    std::vector<std::uint8_t> data(Text(text).begin(), Text(text).end());
    jet::Rc4Apply(Text(key), data);
    EXPECT_EQ(HexText(data.data(), data.size()), expected) << key;
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
