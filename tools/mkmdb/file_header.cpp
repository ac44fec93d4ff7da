#include "file_header.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "header_protection.h"
#include "jet/encryption_info.h"
#include "jet/rc4.h"
#include "mdb_writer.h"

namespace mkmdb {
namespace {

// The settings block in clear as Access leaves it in a new database without a password, with
// page offsets: 24 bytes of unknown use from 0x18, code page 1252 at 0x3C, the database key at
// 0x3E and the password at 0x42 (both filled in below), an unknown 0x11A6 at 0x6A,
// collation 0x0409 at 0x6E and the creation date at 0x72 (filled in below).
constexpr std::array<std::uint8_t, 0x42 - jet::kHeaderSettingsOffset> kSettingsStart = {
    0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xe4, 0x04, 0x00,
    0x00, 0x00, 0x00};
constexpr std::size_t kUnknownOffset = 0x6A;
constexpr std::uint32_t kUnknownValue = 0x11A6;
constexpr std::uint32_t kSortOrderGeneral = 0x0409;
constexpr std::uint8_t kVersionAccess2007 = 0x02;

}  // namespace

jet::Page BuildFileHeader(double created, const HeaderProtection& protection) {
  jet::Page page{};
  page[0] = jet::kPageFileHeader;
  page[1] = 0x01;
  // The signature with its terminating zero.
  std::memcpy(page.data() + 4, protection.accdb ? "Standard ACE DB" : "Standard Jet DB", 16);
  page[jet::kHeaderVersionOffset] = protection.accdb ? kVersionAccess2007 : jet::kVersionJet4;
  std::memcpy(page.data() + jet::kHeaderSettingsOffset, kSettingsStart.data(),
              kSettingsStart.size());
  jet::PutU32(page.data() + kUnknownOffset, kUnknownValue);
  jet::PutU32(page.data() + jet::kHeaderSortOrderOffset, kSortOrderGeneral);
  jet::PutF64(page.data() + jet::kHeaderCreationDateOffset, created);
  // The database key and the password field (the mask of the creation date alone when the
  // password is empty).
  PutJetProtection(page.data(), jet::Version::Jet4, 0, protection.databaseKey,
                   protection.password);
  jet::Rc4Apply(jet::kHeaderSettingsKey,
           std::span(page.data() + jet::kHeaderSettingsOffset, jet::kHeaderSettingsSize));
  static constexpr std::uint8_t kVersionTag[] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};
  std::memcpy(page.data() + 0x98, kVersionTag, sizeof kVersionTag);
  const auto& description = protection.encryptionDescription;
  if (description.size() > jet::kHeaderTailOffset - jet::kEncryptionInfoOffset) {
    throw WriterError("the encryption description does not fit page 0");
  }
  std::copy(description.begin(), description.end(), page.begin() + jet::kEncryptionInfoOffset);
  // The tail: 0x0108, 0x0127, then 0x0100 to the end of the page.
  jet::PutU16(page.data() + jet::kHeaderTailOffset, 0x0108);
  jet::PutU16(page.data() + jet::kHeaderTailOffset + 2, 0x0127);
  for (std::size_t at = jet::kHeaderTailOffset + 4; at < jet::kPageSize; at += 2) {
    jet::PutU16(page.data() + at, 0x0100);
  }
  return page;
}

}  // namespace mkmdb
