#include "file_header.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "rc4.h"

namespace jet {
namespace {

constexpr std::size_t kSignatureOffset = 4;
constexpr char kJetSignature[] = "Standard Jet DB";  // with its terminating zero: 16 bytes
constexpr char kAceSignature[] = "Standard ACE DB";

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace

bool ParseFileHeader(const std::uint8_t* bytes, std::size_t size, FileHeader& out,
                     std::string& error) {
  if (size < kFileHeaderBytes) {
    error = "the file is too short to be a database (" + std::to_string(size) + " bytes)";
    return false;
  }
  const bool jet = std::memcmp(bytes + kSignatureOffset, kJetSignature, sizeof kJetSignature) == 0;
  const bool ace = std::memcmp(bytes + kSignatureOffset, kAceSignature, sizeof kAceSignature) == 0;
  if (bytes[0] != kPageFileHeader || (!jet && !ace)) {
    error = "the file is not an Access database (no database signature on its first page)";
    return false;
  }
  const std::uint8_t version = bytes[kHeaderVersionOffset];
  std::size_t settingsSize = kHeaderSettingsSize;
  if (version == kVersionJet3) {
    out.version = Version::Jet3;
    out.layout = &kJet3Layout;
    settingsSize = kJet3HeaderSettingsSize;
  } else if (version == kVersionJet4) {
    out.version = Version::Jet4;
    out.layout = &kJet4Layout;
  } else if (version >= kVersionAceFirst && version <= kVersionAceLast) {
    out.version = Version::Ace;
    out.layout = &kJet4Layout;
  } else {
    error = "the file's engine version " + Hex(version) + " is not one this reader knows";
    return false;
  }

  std::array<std::uint8_t, kHeaderSettingsSize> settings{};
  std::memcpy(settings.data(), bytes + kHeaderSettingsOffset, settingsSize);
  Rc4Apply(kHeaderSettingsKey, std::span(settings.data(), settingsSize));
  const auto at = [&](std::size_t pageOffset) {
    return settings.data() + (pageOffset - kHeaderSettingsOffset);
  };
  out.codePage = GetU16(at(kHeaderCodePageOffset));
  out.databaseKey = GetU32(at(kHeaderDatabaseKeyOffset));
  out.storedPasswordSize =
      out.version == Version::Jet3 ? kJet3HeaderPasswordSize : kHeaderPasswordSize;
  std::memcpy(out.storedPassword.data(), at(kHeaderPasswordOffset), out.storedPasswordSize);
  if (out.version != Version::Jet3) out.creationDate = GetF64(at(kHeaderCreationDateOffset));
  return true;
}

}  // namespace jet
