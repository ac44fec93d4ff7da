#include "header_protection.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <sys/random.h>
#include <vector>

#include "jet/database_password.h"
#include "jet/file_header.h"
#include "jet/format.h"
#include "jet/jet_encoding.h"
#include "jet/password_text.h"
#include "jet/rc4.h"
#include "mdb_writer.h"

namespace mkmdb {
namespace {

// `text` (UTF-8) in code page `codePage`; throws when a character has no byte there.
std::string InCodePage(const std::string& text, int codePage) {
  const std::string name = "CP" + std::to_string(codePage);
  const iconv_t converter = iconv_open(name.c_str(), "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    throw WriterError("the password cannot be written in code page " + std::to_string(codePage));
  }
  std::string out(text.size(), '\0');  // a single-byte code page: never longer
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* to = out.data();
  std::size_t toLeft = out.size();
  const bool done = iconv(converter, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  if (!done || inLeft != 0) {
    throw WriterError("the password has a character that code page " + std::to_string(codePage) +
                      " cannot hold");
  }
  out.resize(out.size() - toLeft);
  return out;
}

}  // namespace

void PutJetProtection(std::uint8_t* page, jet::Version version, int codePage,
                      std::uint32_t databaseKey, const std::string& password) {
  jet::PutU32(page + jet::kHeaderDatabaseKeyOffset, databaseKey);
  std::uint8_t* field = page + jet::kHeaderPasswordOffset;
  if (version == jet::Version::Jet3) {
    const std::string stored = InCodePage(password, codePage != 0 ? codePage : jet::kDefaultCodePage);
    if (stored.size() > jet::kJet3HeaderPasswordSize) {
      throw WriterError("a Jet 3 database password holds at most 20 characters");
    }
    std::memset(field, 0, jet::kJet3HeaderPasswordSize);
    std::memcpy(field, stored.data(), stored.size());
    return;
  }
  std::vector<std::uint8_t> stored;
  if (!jet::PasswordBytes(password, stored)) throw WriterError("the password is not UTF-8");
  if (stored.size() > jet::kHeaderPasswordSize) {
    throw WriterError("a database password holds at most 20 characters (UTF-16 code units)");
  }
  for (std::size_t i = 0; i + 1 < stored.size(); i += 2) {
    if (stored[i] == 0 && stored[i + 1] == 0) throw WriterError("the password holds U+0000");
  }
  stored.resize(jet::kHeaderPasswordSize, 0);
  std::uint8_t mask[4];
  jet::PutU32(mask, jet::PasswordMask(jet::GetF64(page + jet::kHeaderCreationDateOffset)));
  for (std::size_t i = 0; i < stored.size(); ++i) field[i] = stored[i] ^ mask[i % 4];
}

std::uint32_t RandomDatabaseKey() {
  std::uint32_t key = 0;
  while (key == 0) {
    if (getrandom(&key, sizeof key, 0) != static_cast<ssize_t>(sizeof key)) {
      throw WriterError(std::string("cannot draw a database key: ") + std::strerror(errno));
    }
  }
  return key;
}

void ProtectImage(std::string& image, std::uint32_t databaseKey, const std::string& password) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(image.data());
  jet::FileHeader header;
  std::string error;
  if (!jet::ParseFileHeader(bytes, image.size(), header, error)) throw WriterError(error);
  if (header.databaseKey != 0) throw WriterError("the file is encoded already");
  const std::size_t settingsSize = header.version == jet::Version::Jet3
                                       ? jet::kJet3HeaderSettingsSize
                                       : jet::kHeaderSettingsSize;
  const std::span settings(bytes + jet::kHeaderSettingsOffset, settingsSize);
  jet::Rc4Apply(jet::kHeaderSettingsKey, settings);
  PutJetProtection(bytes, header.version, header.codePage, databaseKey, password);
  jet::Rc4Apply(jet::kHeaderSettingsKey, settings);
  if (databaseKey == 0) return;
  const jet::JetEncoding encoding(databaseKey);
  const std::size_t pageSize = header.layout->pageSize;
  for (std::size_t page = 1; page < image.size() / pageSize; ++page) {
    encoding.Encrypt(static_cast<std::uint32_t>(page), std::span(bytes + page * pageSize, pageSize),
                     error);
  }
}

}  // namespace mkmdb
