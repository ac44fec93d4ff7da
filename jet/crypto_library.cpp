#include "crypto_library.h"

// Hashes go through the hash functions of OpenSSL 1 directly: 100,000 rounds of password
// stretching through them take half the time the same rounds take through EVP, and the hash
// of every page's key a fraction. OpenSSL 3 still has them, as deprecated; without them EVP is
// used.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/sha.h>

#include <memory>

#include "format.h"
#include "loaded_library.h"

namespace jet {

std::size_t HashSize(HashKind kind) {
  switch (kind) {
    case HashKind::Sha1: return 20;
    case HashKind::Sha256: return 32;
    case HashKind::Sha384: return 48;
    case HashKind::Sha512: return 64;
  }
  return 0;
}

const char* HashName(HashKind kind) {
  switch (kind) {
    case HashKind::Sha1: return "SHA1";
    case HashKind::Sha256: return "SHA256";
    case HashKind::Sha384: return "SHA384";
    case HashKind::Sha512: return "SHA512";
  }
  return "";
}

// The library's functions this reader calls, each with the type of its declaration.
struct CryptoLibrary::Functions {
  decltype(&::EVP_MD_fetch) mdFetch = nullptr;
  decltype(&::EVP_MD_free) mdFree = nullptr;
  decltype(&::EVP_CIPHER_fetch) cipherFetch = nullptr;
  decltype(&::EVP_CIPHER_free) cipherFree = nullptr;
  decltype(&::EVP_MD_CTX_new) mdContextNew = nullptr;
  decltype(&::EVP_MD_CTX_free) mdContextFree = nullptr;
  decltype(&::EVP_DigestInit_ex) digestInit = nullptr;
  decltype(&::EVP_DigestUpdate) digestUpdate = nullptr;
  decltype(&::EVP_DigestFinal_ex) digestFinal = nullptr;
  decltype(&::EVP_CIPHER_CTX_new) cipherContextNew = nullptr;
  decltype(&::EVP_CIPHER_CTX_free) cipherContextFree = nullptr;
  decltype(&::EVP_CipherInit_ex) cipherInit = nullptr;
  decltype(&::EVP_CIPHER_CTX_set_padding) setPadding = nullptr;
  decltype(&::EVP_CipherUpdate) cipherUpdate = nullptr;
  decltype(&::EVP_CipherFinal_ex) cipherFinal = nullptr;
  decltype(&::EVP_DecodeBlock) decodeBlock = nullptr;
  decltype(&::EVP_EncodeBlock) encodeBlock = nullptr;
  // Optional: the direct hash functions (null when the library lacks them).
  decltype(&::SHA1_Init) sha1Init = nullptr;
  decltype(&::SHA1_Update) sha1Update = nullptr;
  decltype(&::SHA1_Final) sha1Final = nullptr;
  decltype(&::SHA256_Init) sha256Init = nullptr;
  decltype(&::SHA256_Update) sha256Update = nullptr;
  decltype(&::SHA256_Final) sha256Final = nullptr;
  decltype(&::SHA384_Init) sha384Init = nullptr;
  decltype(&::SHA384_Update) sha384Update = nullptr;
  decltype(&::SHA384_Final) sha384Final = nullptr;
  decltype(&::SHA512_Init) sha512Init = nullptr;
  decltype(&::SHA512_Update) sha512Update = nullptr;
  decltype(&::SHA512_Final) sha512Final = nullptr;
};

namespace {

#define DRAVON_STRINGIFY2(x) #x
#define DRAVON_STRINGIFY(x) DRAVON_STRINGIFY2(x)
// The library of the OpenSSL major version whose headers the reader was built with.
constexpr char kSoname[] = "libcrypto.so." DRAVON_STRINGIFY(OPENSSL_VERSION_MAJOR);

struct Loaded {
  LoadedLibrary library{kSoname};
  CryptoLibrary::Functions functions;
  std::string problem;  // why the library cannot be used; empty when it can
};

Loaded& TheLoaded() {
  static Loaded loaded;
  return loaded;
}

template <typename Function>
void FindInto(const LoadedLibrary& library, const char* name, Function& into,
              std::string& problem) {
  if (!problem.empty()) return;
  into = library.Find<Function>(name, problem);
}

bool FindAll(Loaded& loaded) {
  const LoadedLibrary& l = loaded.library;
  CryptoLibrary::Functions& f = loaded.functions;
  std::string& p = loaded.problem;
  FindInto(l, "EVP_MD_fetch", f.mdFetch, p);
  FindInto(l, "EVP_MD_free", f.mdFree, p);
  FindInto(l, "EVP_CIPHER_fetch", f.cipherFetch, p);
  FindInto(l, "EVP_CIPHER_free", f.cipherFree, p);
  FindInto(l, "EVP_MD_CTX_new", f.mdContextNew, p);
  FindInto(l, "EVP_MD_CTX_free", f.mdContextFree, p);
  FindInto(l, "EVP_DigestInit_ex", f.digestInit, p);
  FindInto(l, "EVP_DigestUpdate", f.digestUpdate, p);
  FindInto(l, "EVP_DigestFinal_ex", f.digestFinal, p);
  FindInto(l, "EVP_CIPHER_CTX_new", f.cipherContextNew, p);
  FindInto(l, "EVP_CIPHER_CTX_free", f.cipherContextFree, p);
  FindInto(l, "EVP_CipherInit_ex", f.cipherInit, p);
  FindInto(l, "EVP_CIPHER_CTX_set_padding", f.setPadding, p);
  FindInto(l, "EVP_CipherUpdate", f.cipherUpdate, p);
  FindInto(l, "EVP_CipherFinal_ex", f.cipherFinal, p);
  FindInto(l, "EVP_DecodeBlock", f.decodeBlock, p);
  FindInto(l, "EVP_EncodeBlock", f.encodeBlock, p);
  if (!p.empty()) return false;
  // Optional ones: a missing function leaves its pointer null.
  std::string absent;
  f.sha1Init = l.Find<decltype(f.sha1Init)>("SHA1_Init", absent);
  f.sha1Update = l.Find<decltype(f.sha1Update)>("SHA1_Update", absent);
  f.sha1Final = l.Find<decltype(f.sha1Final)>("SHA1_Final", absent);
  f.sha256Init = l.Find<decltype(f.sha256Init)>("SHA256_Init", absent);
  f.sha256Update = l.Find<decltype(f.sha256Update)>("SHA256_Update", absent);
  f.sha256Final = l.Find<decltype(f.sha256Final)>("SHA256_Final", absent);
  f.sha384Init = l.Find<decltype(f.sha384Init)>("SHA384_Init", absent);
  f.sha384Update = l.Find<decltype(f.sha384Update)>("SHA384_Update", absent);
  f.sha384Final = l.Find<decltype(f.sha384Final)>("SHA384_Final", absent);
  f.sha512Init = l.Find<decltype(f.sha512Init)>("SHA512_Init", absent);
  f.sha512Update = l.Find<decltype(f.sha512Update)>("SHA512_Update", absent);
  f.sha512Final = l.Find<decltype(f.sha512Final)>("SHA512_Final", absent);
  return true;
}

// Calls `use(context, init, update, final)` with the direct hash functions of `kind` and a
// context for them; false when the library lacks them.
template <typename Use>
bool WithDirectHash(const CryptoLibrary::Functions& f, HashKind kind, Use use) {
  switch (kind) {
    case HashKind::Sha1:
      if (f.sha1Init == nullptr || f.sha1Update == nullptr || f.sha1Final == nullptr) break;
      {
        SHA_CTX context;
        use(context, f.sha1Init, f.sha1Update, f.sha1Final);
      }
      return true;
    case HashKind::Sha256:
      if (f.sha256Init == nullptr || f.sha256Update == nullptr || f.sha256Final == nullptr) break;
      {
        SHA256_CTX context;
        use(context, f.sha256Init, f.sha256Update, f.sha256Final);
      }
      return true;
    case HashKind::Sha384:
      if (f.sha384Init == nullptr || f.sha384Update == nullptr || f.sha384Final == nullptr) break;
      {
        SHA512_CTX context;
        use(context, f.sha384Init, f.sha384Update, f.sha384Final);
      }
      return true;
    case HashKind::Sha512:
      if (f.sha512Init == nullptr || f.sha512Update == nullptr || f.sha512Final == nullptr) break;
      {
        SHA512_CTX context;
        use(context, f.sha512Init, f.sha512Update, f.sha512Final);
      }
      return true;
  }
  return false;
}

constexpr const char* kCipherNames[2][3] = {
    {"AES-128-ECB", "AES-192-ECB", "AES-256-ECB"},
    {"AES-128-CBC", "AES-192-CBC", "AES-256-CBC"},
};

struct DigestContext {
  const CryptoLibrary::Functions& f;
  EVP_MD_CTX* context;
  explicit DigestContext(const CryptoLibrary::Functions& functions)
      : f(functions), context(functions.mdContextNew()) {}
  ~DigestContext() {
    if (context != nullptr) f.mdContextFree(context);
  }
  DigestContext(const DigestContext&) = delete;
  DigestContext& operator=(const DigestContext&) = delete;
};

}  // namespace

const CryptoLibrary* CryptoLibrary::Get(std::string& error) {
  // Made once, by the first thread that needs it; every later call only reads it.
  static const std::unique_ptr<CryptoLibrary> made = []() -> std::unique_ptr<CryptoLibrary> {
    Loaded& loaded = TheLoaded();
    if (!loaded.library.loaded()) {
      loaded.problem = loaded.library.problem();
      return nullptr;
    }
    if (!FindAll(loaded)) return nullptr;
    std::unique_ptr<CryptoLibrary> library(new CryptoLibrary);
    library->functions_ = &loaded.functions;
    const HashKind kinds[] = {HashKind::Sha1, HashKind::Sha256, HashKind::Sha384,
                              HashKind::Sha512};
    for (HashKind kind : kinds) {
      library->digests_[static_cast<int>(kind)] =
          loaded.functions.mdFetch(nullptr, HashName(kind), nullptr);
      if (library->digests_[static_cast<int>(kind)] == nullptr) {
        loaded.problem = std::string(kSoname) + " offers no " + HashName(kind);
        return nullptr;
      }
    }
    for (int mode = 0; mode < 2; ++mode) {
      for (int size = 0; size < 3; ++size) {
        library->ciphers_[mode][size] =
            loaded.functions.cipherFetch(nullptr, kCipherNames[mode][size], nullptr);
        if (library->ciphers_[mode][size] == nullptr) {
          loaded.problem = std::string(kSoname) + " offers no " + kCipherNames[mode][size];
          return nullptr;
        }
      }
    }
    return library;
  }();
  if (made == nullptr) error = "the cryptography library cannot be used: " + TheLoaded().problem;
  return made.get();
}

CryptoLibrary::~CryptoLibrary() {
  if (functions_ == nullptr) return;
  for (void* digest : digests_) {
    if (digest != nullptr) functions_->mdFree(static_cast<EVP_MD*>(digest));
  }
  for (auto& byMode : ciphers_) {
    for (void* cipher : byMode) {
      if (cipher != nullptr) functions_->cipherFree(static_cast<EVP_CIPHER*>(cipher));
    }
  }
}

bool CryptoLibrary::Hash(HashKind kind, std::initializer_list<ByteView> parts,
                         std::uint8_t* out) const {
  const bool direct = WithDirectHash(*functions_, kind, [&](auto& context, auto init, auto update,
                                                            auto final) {
    init(&context);
    for (ByteView piece : parts) update(&context, piece.data(), piece.size());
    final(out, &context);
  });
  if (direct) return true;
  const DigestContext digest(*functions_);
  if (digest.context == nullptr) return false;
  const auto* md = static_cast<const EVP_MD*>(digests_[static_cast<int>(kind)]);
  if (functions_->digestInit(digest.context, md, nullptr) != 1) return false;
  for (ByteView piece : parts) {
    if (functions_->digestUpdate(digest.context, piece.data(), piece.size()) != 1) return false;
  }
  unsigned int size = 0;
  return functions_->digestFinal(digest.context, out, &size) == 1 && size == HashSize(kind);
}

bool CryptoLibrary::Stretch(HashKind kind, std::uint32_t rounds, std::uint8_t* value) const {
  const std::size_t size = HashSize(kind);
  std::uint8_t counter[4];
  const bool direct = WithDirectHash(*functions_, kind, [&](auto& context, auto init,
                                                            auto update, auto final) {
    for (std::uint32_t round = 0; round < rounds; ++round) {
      PutU32(counter, round);
      init(&context);
      update(&context, counter, sizeof counter);
      update(&context, value, size);
      final(value, &context);
    }
  });
  if (direct) return true;
  const DigestContext digest(*functions_);
  if (digest.context == nullptr) return false;
  const auto* md = static_cast<const EVP_MD*>(digests_[static_cast<int>(kind)]);
  for (std::uint32_t round = 0; round < rounds; ++round) {
    PutU32(counter, round);
    unsigned int written = 0;
    if (functions_->digestInit(digest.context, md, nullptr) != 1 ||
        functions_->digestUpdate(digest.context, counter, sizeof counter) != 1 ||
        functions_->digestUpdate(digest.context, value, size) != 1 ||
        functions_->digestFinal(digest.context, value, &written) != 1) {
      return false;
    }
  }
  return true;
}

bool CryptoLibrary::Aes(bool encrypt, ChainingMode mode, ByteView key, const std::uint8_t* iv,
                        std::span<std::uint8_t> data) const {
  constexpr std::size_t kBlock = 16;
  if (data.size() % kBlock != 0 || data.size() > 0x7FFFFFFF) return false;
  int size = 0;
  switch (key.size()) {
    case 16: size = 0; break;
    case 24: size = 1; break;
    case 32: size = 2; break;
    default: return false;
  }
  const auto* cipher = static_cast<const EVP_CIPHER*>(ciphers_[static_cast<int>(mode)][size]);
  EVP_CIPHER_CTX* context = functions_->cipherContextNew();
  if (context == nullptr) return false;
  int written = 0, last = 0;
  const bool done =
      functions_->cipherInit(context, cipher, nullptr, key.data(),
                             mode == ChainingMode::Cbc ? iv : nullptr, encrypt ? 1 : 0) == 1 &&
      functions_->setPadding(context, 0) == 1 &&
      functions_->cipherUpdate(context, data.data(), &written, data.data(),
                               static_cast<int>(data.size())) == 1 &&
      functions_->cipherFinal(context, data.data() + written, &last) == 1 &&
      static_cast<std::size_t>(written + last) == data.size();
  functions_->cipherContextFree(context);
  return done;
}

bool CryptoLibrary::Base64Decode(std::string_view text, Bytes& out) const {
  out.clear();
  if (text.size() % 4 != 0 || text.size() > 0x10000) return false;
  if (text.empty()) return true;
  out.resize(text.size() / 4 * 3);
  const int written = functions_->decodeBlock(
      out.data(), reinterpret_cast<const unsigned char*>(text.data()),
      static_cast<int>(text.size()));
  if (written < 0) return false;
  // '=' pads the end only; the library would take it anywhere.
  std::size_t padding = 0;
  while (padding < 2 && text[text.size() - 1 - padding] == '=') ++padding;
  if (text.find('=') < text.size() - padding) return false;
  out.resize(static_cast<std::size_t>(written) - padding);
  return true;
}

std::string CryptoLibrary::Base64Encode(ByteView bytes) const {
  std::string text((bytes.size() + 2) / 3 * 4 + 1, '\0');
  const int written = functions_->encodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                              bytes.data(), static_cast<int>(bytes.size()));
  text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return text;
}

}  // namespace jet
