#include "long_value.h"

#include <algorithm>

#include "data_page.h"

namespace jet {
namespace {

constexpr std::size_t kLargestReserve = 1 << 20;

}  // namespace

LongValueReader::LongValueReader(const FileContext& file) : file_(file) {}

bool LongValueReader::Read(const std::uint8_t* field, std::size_t size, const char* what,
                           std::string& out, std::string& error) {
  const std::string kind = what;
  if (size == 0) return true;
  if (size < kLongValueHeaderSize) {
    error = kind + " field of " + std::to_string(size) + " bytes is shorter than its " +
            std::to_string(kLongValueHeaderSize) + "-byte header";
    return false;
  }
  const std::uint32_t header = GetU32(field);
  const std::uint32_t length = header & ~kLongValueKindMask;
  const std::uint64_t fileBytes = static_cast<std::uint64_t>(file_.pageCount) * file_.PageSize();
  if (length > fileBytes) {
    error = kind + " declares " + std::to_string(length) + " bytes, more than the whole file (" +
            std::to_string(fileBytes) + " bytes)";
    return false;
  }
  const std::uint32_t pointer = GetU32(field + kLongValuePointerOffset);
  std::string why;
  RowPlace place;
  switch (header & kLongValueKindMask) {
    case kLongValueInline: {
      const std::size_t held = size - kLongValueHeaderSize;
      if (length > held) {
        error = kind + " declares " + std::to_string(length) + " bytes but its row holds " +
                std::to_string(held);
        return false;
      }
      out.append(reinterpret_cast<const char*>(field) + kLongValueHeaderSize, length);
      return true;
    }
    case kLongValueSingleRow: {
      if (!LoadRow(file_, pointer, kLongValueOwner, page_, place, why)) {
        error = kind + " at " + RowPointerText(pointer) + ": " + why;
        return false;
      }
      if (place.size() < length) {
        error = kind + " declares " + std::to_string(length) + " bytes but its row at " +
                RowPointerText(pointer) + " holds " + std::to_string(place.size());
        return false;
      }
      out.append(reinterpret_cast<const char*>(page_.data()) + place.start, length);
      return true;
    }
    case kLongValueChain:
      break;
    default:
      error = kind + " is stored in an unknown way (header " + std::to_string(header >> 30) +
              ")";
      return false;
  }

  // A chain: each link row starts with the pointer to the next.
  out.reserve(out.size() + std::min<std::size_t>(length, kLargestReserve));
  visited_.clear();
  std::size_t remaining = length;
  std::uint32_t link = pointer;
  while (remaining > 0) {
    if (link == 0) {
      error = kind + " chain ends after " + std::to_string(length - remaining) + " of its " +
              std::to_string(length) + " bytes";
      return false;
    }
    if (!visited_.insert(link).second) {
      error = kind + " chain loops at page " + std::to_string(link >> 8) + " row " +
              std::to_string(link & 0xFF);
      return false;
    }
    if (!LoadRow(file_, link, kLongValueOwner, page_, place, why)) {
      error = kind + " chain at " + RowPointerText(link) + ": " + why;
      return false;
    }
    if (place.size() < kLongValueChainLinkSize) {
      error = kind + " chain row at " + RowPointerText(link) + " is too short for its link";
      return false;
    }
    const std::uint8_t* row = page_.data() + place.start;
    const std::size_t chunk = place.size() - kLongValueChainLinkSize;
    if (chunk == 0) {
      error = kind + " chain row at " + RowPointerText(link) + " holds no data";
      return false;
    }
    if (chunk > remaining) {
      error = kind + " chain holds more than its declared " + std::to_string(length) + " bytes";
      return false;
    }
    out.append(reinterpret_cast<const char*>(row) + kLongValueChainLinkSize, chunk);
    remaining -= chunk;
    link = GetU32(row);
  }
  return true;
}

}  // namespace jet
