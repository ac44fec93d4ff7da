#include "agile_descriptor.h"

#include <charconv>
#include <optional>
#include <utility>
#include <vector>

namespace jet {
namespace {

constexpr std::string_view kPasswordEncryptor =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";
constexpr std::size_t kMaxAttributes = 32;

using Attributes = std::vector<std::pair<std::string_view, std::string_view>>;

bool Space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The name after its namespace prefix: "p:encryptedKey" -> "encryptedKey".
std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Walks the start tags of an XML text, one at a time. Declarations, comments and end tags
// are passed over; text between tags is ignored.
class Tags {
 public:
  explicit Tags(std::string_view xml) : xml_(xml) {}

  // The next start tag's local name and attributes; false at the end or at a tag that is not
  // well formed (`broken` then says so).
  bool Next(std::string_view& name, Attributes& attributes) {
    attributes.clear();
    while (true) {
      const std::size_t open = xml_.find('<', at_);
      if (open == std::string_view::npos) return false;
      at_ = open + 1;
      if (at_ < xml_.size() && (xml_[at_] == '?' || xml_[at_] == '!' || xml_[at_] == '/')) {
        const std::size_t close = xml_.find('>', at_);
        if (close == std::string_view::npos) return Broken("a tag is not closed");
        at_ = close + 1;
        continue;
      }
      const std::size_t start = at_;
      while (at_ < xml_.size() && !Space(xml_[at_]) && xml_[at_] != '/' && xml_[at_] != '>') {
        ++at_;
      }
      name = LocalName(xml_.substr(start, at_ - start));
      if (name.empty()) return Broken("a tag has no name");
      return ReadAttributes(attributes);
    }
  }
  const std::string& broken() const { return broken_; }

 private:
  bool ReadAttributes(Attributes& attributes) {
    while (true) {
      while (at_ < xml_.size() && Space(xml_[at_])) ++at_;
      if (at_ >= xml_.size()) return Broken("a tag is not closed");
      if (xml_[at_] == '>' || xml_[at_] == '/') {
        ++at_;
        return true;
      }
      const std::size_t start = at_;
      while (at_ < xml_.size() && xml_[at_] != '=' && !Space(xml_[at_])) ++at_;
      const std::string_view name = LocalName(xml_.substr(start, at_ - start));
      while (at_ < xml_.size() && Space(xml_[at_])) ++at_;
      if (at_ >= xml_.size() || xml_[at_] != '=') return Broken("an attribute has no value");
      ++at_;
      while (at_ < xml_.size() && Space(xml_[at_])) ++at_;
      if (at_ >= xml_.size() || (xml_[at_] != '"' && xml_[at_] != '\'')) {
        return Broken("an attribute value is not quoted");
      }
      const char quote = xml_[at_++];
      const std::size_t end = xml_.find(quote, at_);
      if (end == std::string_view::npos) return Broken("an attribute value is not closed");
      if (attributes.size() >= kMaxAttributes) return Broken("a tag has too many attributes");
      attributes.emplace_back(name, xml_.substr(at_, end - at_));
      at_ = end + 1;
    }
  }
  bool Broken(const char* what) {
    broken_ = std::string("its XML descriptor is not well formed: ") + what;
    return false;
  }

  std::string_view xml_;
  std::size_t at_ = 0;
  std::string broken_;
};

std::optional<std::string_view> Find(const Attributes& attributes, std::string_view name) {
  for (const auto& [key, value] : attributes) {
    if (key == name) return value;
  }
  return std::nullopt;
}

// Reads the attributes of one element, naming it in every error.
class Element {
 public:
  Element(const char* name, const Attributes& attributes, const CryptoLibrary& crypto,
          std::string& error)
      : name_(name), attributes_(attributes), crypto_(crypto), error_(error) {}

  bool Text(const char* attribute, std::string_view& out) {
    const auto value = Find(attributes_, attribute);
    if (!value) return Fail(std::string("has no ") + attribute);
    out = *value;
    return true;
  }
  bool Number(const char* attribute, std::uint32_t low, std::uint32_t high, std::uint32_t& out) {
    std::string_view text;
    if (!Text(attribute, text)) return false;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (problem != std::errc() || end != text.data() + text.size() || out < low || out > high) {
      return Fail(std::string(attribute) + " \"" + std::string(text.substr(0, 16)) +
                  "\" is not a number from " + std::to_string(low) + " to " +
                  std::to_string(high));
    }
    return true;
  }
  bool Base64(const char* attribute, Bytes& out) {
    std::string_view text;
    if (!Text(attribute, text)) return false;
    if (!crypto_.Base64Decode(text, out)) return Fail(std::string(attribute) + " is not Base64");
    return true;
  }
  // The cipher, chaining, hash and sizes every key description states.
  bool Key(AgileKey& key) {
    std::string_view cipher, chaining, hash;
    std::uint32_t keyBits = 0, blockSize = 0, hashSize = 0, saltSize = 0;
    if (!Text("cipherAlgorithm", cipher) || !Text("cipherChaining", chaining) ||
        !Text("hashAlgorithm", hash) || !Number("keyBits", 8, 512, keyBits) ||
        !Number("blockSize", 2, 4096, blockSize) || !Number("hashSize", 1, 64, hashSize) ||
        !Number("saltSize", 1, 65536, saltSize) || !Base64("saltValue", key.salt)) {
      return false;
    }
    if (cipher != "AES") return Fail("uses the cipher " + std::string(cipher.substr(0, 16)) +
                                     ", not AES");
    if (chaining != "ChainingModeCBC") {
      return Fail("chains blocks with " + std::string(chaining.substr(0, 24)) +
                  ", not ChainingModeCBC");
    }
    if (keyBits != 128 && keyBits != 192 && keyBits != 256) {
      return Fail("asks for an AES key of " + std::to_string(keyBits) + " bits");
    }
    if (blockSize != 16) return Fail("gives AES a block of " + std::to_string(blockSize));
    const std::pair<std::string_view, HashKind> hashes[] = {
        {"SHA1", HashKind::Sha1}, {"SHA-1", HashKind::Sha1}, {"SHA256", HashKind::Sha256},
        {"SHA384", HashKind::Sha384}, {"SHA512", HashKind::Sha512}};
    bool known = false;
    for (const auto& [text, kind] : hashes) {
      if (hash == text) {
        key.hash = kind;
        known = true;
      }
    }
    if (!known) return Fail("uses the hash " + std::string(hash.substr(0, 16)) +
                            ", not SHA-1, SHA-256, SHA-384 or SHA-512");
    if (hashSize != HashSize(key.hash)) {
      return Fail("gives " + std::string(hash) + " a size of " + std::to_string(hashSize));
    }
    if (key.salt.size() != saltSize) {
      return Fail("has a salt of " + std::to_string(key.salt.size()) + " bytes where it says " +
                  std::to_string(saltSize));
    }
    key.keyBits = keyBits;
    key.blockSize = blockSize;
    return true;
  }
  // A value enciphered in whole blocks, at least `least` bytes once deciphered.
  bool Blocks(const char* attribute, std::size_t least, Bytes& out) {
    if (!Base64(attribute, out)) return false;
    if (out.size() % 16 != 0 || out.size() < least) {
      return Fail(std::string(attribute) + " holds " + std::to_string(out.size()) +
                  " bytes, not whole AES blocks of at least " + std::to_string(least));
    }
    return true;
  }

 private:
  bool Fail(const std::string& what) {
    error_ = std::string("its ") + name_ + " " + what;
    return false;
  }

  const char* name_;
  const Attributes& attributes_;
  const CryptoLibrary& crypto_;
  std::string& error_;
};

}  // namespace

bool ParseAgileDescriptor(std::string_view xml, const CryptoLibrary& crypto,
                          AgileEncryption& out, std::string& error) {
  Tags tags(xml);
  std::string_view name;
  Attributes attributes;
  bool haveData = false, havePassword = false, inPasswordEncryptor = false;
  while (!(haveData && havePassword) && tags.Next(name, attributes)) {
    if (name == "keyData" && !haveData) {
      if (!Element("keyData", attributes, crypto, error).Key(out.data)) return false;
      haveData = true;
    } else if (name == "keyEncryptor") {
      inPasswordEncryptor = Find(attributes, "uri") == kPasswordEncryptor;
    } else if (name == "encryptedKey" && inPasswordEncryptor && !havePassword) {
      Element key("password encryptedKey", attributes, crypto, error);
      if (!key.Key(out.password) || !key.Number("spinCount", 0, kMaxSpinCount, out.spinCount) ||
          !key.Blocks("encryptedVerifierHashInput", out.password.salt.size(),
                      out.encryptedVerifierHashInput) ||
          !key.Blocks("encryptedVerifierHashValue", HashSize(out.password.hash),
                      out.encryptedVerifierHashValue) ||
          !key.Blocks("encryptedKeyValue", out.data.keyBits / 8, out.encryptedKeyValue)) {
        return false;
      }
      havePassword = true;
    }
  }
  if (!tags.broken().empty()) {
    error = tags.broken();
    return false;
  }
  if (!haveData || !havePassword) {
    error = std::string("its XML descriptor has no ") +
            (!haveData ? "keyData element" : "password key encryptor");
    return false;
  }
  if (out.data.keyBits == 0 || out.encryptedKeyValue.size() < out.data.keyBits / 8) {
    error = "its encryptedKeyValue is shorter than the key keyData asks for";
    return false;
  }
  return true;
}

}  // namespace jet
