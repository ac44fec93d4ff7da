#include "usage_map.h"

#include <cstdio>

namespace jet {

UsageMap::UsageMap(const FileContext& file) : file_(file) {}

bool UsageMap::Start(const std::uint8_t* row, std::size_t size, std::string& error) {
  row_.assign(row, row + size);
  bit_ = 0;
  entry_ = 0;
  entryLoaded_ = false;
  kind_ = size > 0 ? row[0] : 0xFF;
  if (kind_ == kUsageMapInline && size >= kUsageMapInlineHeader) return true;
  if (kind_ == kUsageMapIndirect) return true;
  char kind[8];
  std::snprintf(kind, sizeof kind, "0x%02X", kind_);
  error = size == 0 ? std::string("the usage map is empty")
                    : "the usage map is of an unknown kind (" + std::string(kind) + ", " +
                          std::to_string(size) + " bytes)";
  return false;
}

bool UsageMap::NextBit(const std::uint8_t* bits, std::size_t bitCount, std::size_t& bit) {
  while (bit_ < bitCount) {
    const std::uint8_t byte = bits[bit_ / 8];
    if (byte == 0 && bit_ % 8 == 0) {
      bit_ += 8;
      continue;
    }
    if (byte & (1u << (bit_ % 8))) {
      bit = bit_++;
      return true;
    }
    ++bit_;
  }
  return false;
}

bool UsageMap::Next(std::uint32_t& page, std::string& error) {
  std::size_t bit = 0;
  std::uint64_t number = 0;
  if (kind_ == kUsageMapInline) {
    if (!NextBit(row_.data() + kUsageMapInlineHeader, (row_.size() - kUsageMapInlineHeader) * 8,
                 bit)) {
      return false;
    }
    number = static_cast<std::uint64_t>(GetU32(row_.data() + 1)) + bit;
  } else {
    const std::size_t entries = (row_.size() - 1) / 4;
    const std::size_t span = (file_.PageSize() - kUsageBitmapHeader) * 8;
    for (;;) {
      if (entry_ >= entries) return false;
      if (!entryLoaded_) {
        const std::uint32_t bitmapPage = GetU32(row_.data() + 1 + 4 * entry_);
        if (bitmapPage == 0) {
          ++entry_;
          continue;
        }
        std::string why;
        if (!bitmap_.Load(file_, bitmapPage, why)) {
          error = "the usage map's bitmap page: " + why;
          return false;
        }
        if (bitmap_.data()[0] != kPageUsageBitmap) {
          error = "the usage map names page " + std::to_string(bitmapPage) +
                  " as a bitmap page, but it is not one";
          return false;
        }
        entryLoaded_ = true;
        bit_ = 0;
      }
      if (NextBit(bitmap_.data() + kUsageBitmapHeader, span, bit)) break;
      entryLoaded_ = false;
      ++entry_;
    }
    number = static_cast<std::uint64_t>(entry_) * span + bit;
  }
  if (number >= file_.pageCount) {
    error = "the usage map lists page " + std::to_string(number) +
            ", past the end of the file (" + std::to_string(file_.pageCount) + " pages)";
    return false;
  }
  page = static_cast<std::uint32_t>(number);
  return true;
}

}  // namespace jet
