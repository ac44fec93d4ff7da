#include "value_encoder.h"

#include "jet/format.h"
#include "value_parser.h"

namespace mkmdb {
namespace {

// Memo values longer than this many characters are never stored compressed.
constexpr std::size_t kMemoCompressionLimit = 1024;

}  // namespace

ValueEncoder::ValueEncoder(const ColumnSpec& column, Utf8Decoder& decoder, MemoStore* memo)
    : column_(column), decoder_(decoder), memo_(memo) {}

void ValueEncoder::DecodeText(const std::string& text, std::size_t most_units) {
  // A UTF-16 unit takes at most 3 bytes of UTF-8, so longer text cannot fit; it is refused
  // before being converted.
  if (text.size() / 3 > most_units) {
    throw ValueError("the text has at least " + std::to_string(text.size() / 3) +
                     " characters; the column holds at most " + std::to_string(most_units));
  }
  if (!decoder_.Decode(text, text_)) throw ValueError("the text is not valid UTF-8");
  if (text_.find(u'\0') != std::u16string::npos) {
    throw ValueError("the text holds a NUL character (U+0000)");
  }
}

Cell ValueEncoder::Encode(const Value& value) {
  inline_memo_ = 0;
  if (!value) {
    if (column_.type == ColumnType::YesNo) throw ValueError("a Yes/No value cannot be NULL");
    return Cell{};
  }
  const std::string& text = *value;
  bytes_.clear();
  switch (column_.type) {
    case ColumnType::Text: {
      DecodeText(text, static_cast<std::size_t>(column_.size));
      if (text_.size() > static_cast<std::size_t>(column_.size)) {
        throw ValueError("the text has " + std::to_string(text_.size()) +
                         " characters; the column holds at most " +
                         std::to_string(column_.size));
      }
      if (!EncodeJetText(text_, true, bytes_)) {
        throw ValueError(
            "text starting with U+FEFF and holding a character such as U+0100 cannot be stored");
      }
      return Cell{true, bytes_};
    }
    case ColumnType::Memo: {
      DecodeText(text, kMemoMaxStoredSize / 2);
      stored_.clear();
      if (!EncodeJetText(text_, text_.size() <= kMemoCompressionLimit, stored_)) {
        throw ValueError(
            "memo text starting with U+FEFF cannot be stored unless it is short and holds no "
            "character such as U+0100");
      }
      if (stored_.size() > kMemoMaxStoredSize) {
        throw ValueError("the memo text takes " + std::to_string(stored_.size()) +
                         " bytes; at most " + std::to_string(kMemoMaxStoredSize) + " fit");
      }
      memo_->Store(stored_, bytes_);
      inline_memo_ = bytes_.size() - kMemoHeaderSize;
      return Cell{true, bytes_};
    }
    case ColumnType::Long: {
      bytes_.resize(4);
      jet::PutU32(bytes_.data(), static_cast<std::uint32_t>(ParseLong(text)));
      return Cell{true, bytes_};
    }
    case ColumnType::Double: {
      bytes_.resize(8);
      jet::PutF64(bytes_.data(), ParseDouble(text));
      return Cell{true, bytes_};
    }
    case ColumnType::DateTime: {
      bytes_.resize(8);
      jet::PutF64(bytes_.data(), ParseDateTime(text));
      return Cell{true, bytes_};
    }
    case ColumnType::YesNo:
      return Cell{ParseYesNo(text), {}};
  }
  return Cell{};
}

Cell ValueEncoder::MoveMemoOutOfRow() {
  memo_->StoreApart(stored_, bytes_);
  inline_memo_ = 0;
  return Cell{true, bytes_};
}

}  // namespace mkmdb
