// Turning one column's input value into the bytes its row stores.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet_text.h"
#include "mdb_writer.h"
#include "memo_store.h"
#include "row_encoder.h"

namespace mkmdb {

class ValueEncoder {
 public:
  // `memo` receives the long values of a Memo, Hyperlink or OLE column and may be null for
  // other types.
  ValueEncoder(const ColumnSpec& column, MemoStore* memo);

  // Throws ValueError when the value does not fit the column. The returned cell refers to
  // storage inside the encoder, valid until the next call.
  Cell Encode(const Value& value);
  // The bytes of a memo value that the last Encode kept inside the row (0 for other columns
  // and for values already stored apart).
  std::size_t InlineMemoBytes() const { return inline_memo_; }
  // Stores the memo value of the last Encode on LVAL pages instead and returns the new cell,
  // which takes InlineMemoBytes() fewer bytes of the row.
  Cell MoveMemoOutOfRow();
  // Text columns: the text of the last value encoded, when it was not NULL.
  const std::u16string& text() const { return text_; }
  // AutoNumber columns: the largest number given so far (0 before the first).
  std::int32_t last_number() const { return last_number_; }

 private:
  // Converts `text` to UTF-16 into text_, refusing text that cannot have `most_units` units or
  // fewer without converting it.
  void DecodeText(const std::string& text, std::size_t most_units);
  // A 4-byte little-endian cell.
  Cell Fixed(std::uint32_t value);
  // Hands the long value in stored_ to the memo store; `what` names it in messages.
  Cell StoreLongValue(const char* what);

  ColumnSpec column_;
  MemoStore* memo_;
  std::u16string text_;
  std::vector<std::uint8_t> stored_;
  std::vector<std::uint8_t> bytes_;
  std::size_t inline_memo_ = 0;
  std::int32_t last_number_ = 0;
};

}  // namespace mkmdb
