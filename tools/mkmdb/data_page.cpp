#include "data_page.h"

#include <cassert>
#include <cstring>

namespace mkmdb {

DataPage::DataPage(std::uint32_t owner) : owner_(owner) { Clear(); }

void DataPage::Clear() {
  bytes_.fill(0);
  rows_ = 0;
  low_ = jet::kPageSize;
}

std::size_t DataPage::FreeBytes() const {
  return low_ - jet::kDataPageHeader - 2 * static_cast<std::size_t>(rows_);
}

bool DataPage::HasRoomFor(std::size_t size) const {
  return rows_ < jet::kMaxRowsPerPage && size + 2 <= FreeBytes();
}

std::uint16_t DataPage::Add(std::span<const std::uint8_t> row) {
  assert(HasRoomFor(row.size()));
  low_ -= row.size();
  std::memcpy(bytes_.data() + low_, row.data(), row.size());
  jet::PutU16(bytes_.data() + jet::kDataPageHeader + 2 * rows_, static_cast<std::uint16_t>(low_));
  return rows_++;
}

const jet::Page& DataPage::Finish() {
  bytes_[0] = jet::kPageData;
  bytes_[1] = 0x01;
  jet::PutU16(bytes_.data() + 2, static_cast<std::uint16_t>(FreeBytes()));
  jet::PutU32(bytes_.data() + 4, owner_);
  jet::PutU32(bytes_.data() + 8, 0);
  jet::PutU16(bytes_.data() + 12, rows_);
  return bytes_;
}

}  // namespace mkmdb
