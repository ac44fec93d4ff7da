#include "row_layout.h"

namespace jet {

bool RowLayout::Parse(const FileLayout& layout, const std::uint8_t* row, std::size_t size,
                      bool hasVariableArea, std::string& error) {
  row_ = row;
  size_ = size;
  countSize_ = layout.rowCountSize;
  jet3_ = countSize_ == 1;
  if (size < countSize_) {
    error = "its row of " + std::to_string(size) + " bytes has no column count";
    return false;
  }
  columnCount_ = jet3_ ? row[0] : GetU16(row);
  const std::size_t maskSize = (static_cast<std::size_t>(columnCount_) + 7) / 8;
  if (countSize_ + maskSize > size) {
    error = "its row of " + std::to_string(size) + " bytes cannot hold the null mask of " +
            std::to_string(columnCount_) + " columns";
    return false;
  }
  maskStart_ = size - maskSize;
  variableCount_ = 0;
  tailStart_ = maskStart_;
  if (!hasVariableArea) return true;

  const auto tooShort = [&] {
    return "its row of " + std::to_string(size) + " bytes is too short for its variable area table";
  };
  if (!jet3_) {
    if (maskStart_ < countSize_ + 2) {
      error = tooShort();
      return false;
    }
    variableCount_ = GetU16(row + maskStart_ - 2);
    const std::size_t table = 2 * (variableCount_ + 1);
    if (maskStart_ - 2 < countSize_ + table) {
      error = tooShort() + " (" + std::to_string(variableCount_) + " slots)";
      return false;
    }
    tailStart_ = maskStart_ - 2 - table;
    return true;
  }

  // Jet 3: the count byte before the mask, then one jump entry per 256 bytes of row (the last
  // may be a dummy), then the 1-byte offsets reversed, the end of data last.
  if (maskStart_ < countSize_ + 1) {
    error = tooShort();
    return false;
  }
  variableCount_ = row[maskStart_ - 1];
  std::size_t jumps = (size - 1) / 256;
  if (maskStart_ < countSize_ + 2 + jumps + variableCount_) {
    error = tooShort() + " (" + std::to_string(variableCount_) + " slots)";
    return false;
  }
  const std::size_t firstOffset = maskStart_ - 2 - jumps;  // offset of slot 0
  tailStart_ = firstOffset - variableCount_;
  if ((tailStart_) / 256 < jumps) --jumps;
  std::size_t used = 0;
  for (std::size_t i = 0; i <= variableCount_; ++i) {
    while (used < jumps && i == row[maskStart_ - 2 - used]) ++used;
    jet3Offsets_[i] = static_cast<std::uint16_t>(row[firstOffset - i] + 256 * used);
  }
  return true;
}

bool RowLayout::Fixed(std::uint16_t offset, std::size_t size, std::size_t& start) const {
  start = countSize_ + offset;
  return start + size <= tailStart_;
}

bool RowLayout::Variable(std::uint16_t index, bool& stored, std::size_t& start,
                         std::size_t& end) const {
  stored = index < variableCount_;
  if (!stored) return true;
  start = Offset(index);
  end = Offset(index + 1u);
  return countSize_ <= start && start <= end && end <= tailStart_;
}

}  // namespace jet
