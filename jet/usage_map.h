// The pages a usage map lists, in ascending order: an inline bitmap (a start page and bits),
// or an indirect map naming bitmap pages that each cover a fixed span of absolute pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_context.h"

namespace jet {

class UsageMap {
 public:
  explicit UsageMap(const FileContext& file);

  // Takes the map row (copied). False with `error` set when it is not a map.
  bool Start(const std::uint8_t* row, std::size_t size, std::string& error);
  // The next listed page. False at the end, or with `error` set when a page the map lists is
  // past the end of the file or a bitmap page is broken.
  bool Next(std::uint32_t& page, std::string& error);

 private:
  bool NextBit(const std::uint8_t* bits, std::size_t bitCount, std::size_t& bit);

  const FileContext& file_;
  std::uint8_t kind_ = kUsageMapInline;
  std::vector<std::uint8_t> row_;
  std::size_t bit_ = 0;      // next bit to look at in the current bitmap
  std::size_t entry_ = 0;    // indirect maps: the entry of the bitmap page in use
  bool entryLoaded_ = false;
  PageBuffer bitmap_;
};

}  // namespace jet
