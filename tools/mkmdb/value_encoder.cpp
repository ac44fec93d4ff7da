#include "value_encoder.h"

#include "text/utf.h"

#include <cstring>
#include <limits>

#include "jet/format.h"
#include "value_parser.h"

namespace mkmdb {
namespace {

// Memo values longer than this many characters are never stored compressed.
constexpr std::size_t kMemoCompressionLimit = 1024;

}  // namespace

ValueEncoder::ValueEncoder(const ColumnSpec& column, MemoStore* memo) : column_(column), memo_(memo) {}

void ValueEncoder::DecodeText(const std::string& text, std::size_t most_units) {
  // A UTF-16 unit takes at most 3 bytes of UTF-8, so longer text cannot fit; it is refused
  // before being converted.
  if (text.size() / 3 > most_units) {
    throw ValueError("the text has at least " + std::to_string(text.size() / 3) +
                     " characters; the column holds at most " + std::to_string(most_units));
  }
  if (!textconv::Utf8ToUtf16(text, text_)) throw ValueError("the text is not valid UTF-8");
  if (text_.find(u'\0') != std::u16string::npos) {
    throw ValueError("the text holds a NUL character (U+0000)");
  }
}

Cell ValueEncoder::Encode(const Value& value) {
  inline_memo_ = 0;
  bytes_.clear();
  if (!value) {
    if (column_.type == ColumnType::YesNo) throw ValueError("a Yes/No value cannot be NULL");
    if (column_.type != ColumnType::AutoNumber) return Cell{};
    if (last_number_ == std::numeric_limits<std::int32_t>::max()) {
      throw ValueError("the AutoNumber column has given its last number, 2147483647");
    }
    return Fixed(static_cast<std::uint32_t>(++last_number_));
  }
  const std::string& text = *value;
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
    case ColumnType::Memo:
    case ColumnType::Hyperlink:
      DecodeText(text, kMemoMaxStoredSize / 2);
      stored_.clear();
      if (!EncodeJetText(text_, text_.size() <= kMemoCompressionLimit, stored_)) {
        throw ValueError(
            "memo text starting with U+FEFF cannot be stored unless it is short and holds no "
            "character such as U+0100");
      }
      return StoreLongValue("memo text");
    case ColumnType::Ole:
      if (text.size() / 2 > kMemoMaxStoredSize) {
        throw ValueError("the OLE object has " + std::to_string(text.size() / 2) +
                         " bytes; at most " + std::to_string(kMemoMaxStoredSize) + " fit");
      }
      ParseHex(text, kMemoMaxStoredSize, stored_);
      return StoreLongValue("OLE object");
    case ColumnType::Binary:
      ParseHex(text, static_cast<std::size_t>(column_.size), bytes_);
      return Cell{true, bytes_};
    case ColumnType::Byte:
      bytes_.push_back(ParseByte(text));
      return Cell{true, bytes_};
    case ColumnType::Integer:
      bytes_.resize(2);
      jet::PutU16(bytes_.data(), static_cast<std::uint16_t>(ParseInteger(text)));
      return Cell{true, bytes_};
    case ColumnType::Long:
      return Fixed(static_cast<std::uint32_t>(ParseLong(text)));
    case ColumnType::AutoNumber: {
      const std::int32_t number = ParseLong(text);
      if (number > last_number_) last_number_ = number;
      return Fixed(static_cast<std::uint32_t>(number));
    }
    case ColumnType::Single: {
      const float single = ParseSingle(text);
      bytes_.resize(sizeof single);
      std::memcpy(bytes_.data(), &single, sizeof single);
      return Cell{true, bytes_};
    }
    case ColumnType::Double:
      bytes_.resize(8);
      jet::PutF64(bytes_.data(), ParseDouble(text));
      return Cell{true, bytes_};
    case ColumnType::Currency: {
      const auto money = static_cast<std::uint64_t>(ParseCurrency(text));
      bytes_.resize(jet::kMoneySize);
      jet::PutU32(bytes_.data(), static_cast<std::uint32_t>(money));
      jet::PutU32(bytes_.data() + 4, static_cast<std::uint32_t>(money >> 32));
      return Cell{true, bytes_};
    }
    case ColumnType::Decimal: {
      // A sign byte, then the scaled value as four 32-bit words, the most significant first,
      // each little-endian.
      const DecimalValue number = ParseDecimal(text, column_.precision, column_.scale);
      bytes_.assign(jet::kNumericSize, 0);
      bytes_[0] = number.negative ? jet::kNumericNegative : 0;
      for (int word = 0; word < 4; ++word) {
        jet::PutU32(bytes_.data() + 1 + 4 * word,
                    static_cast<std::uint32_t>(number.scaled >> (32 * (3 - word))));
      }
      return Cell{true, bytes_};
    }
    case ColumnType::Guid: {
      const auto guid = ParseGuid(text);
      bytes_.assign(guid.begin(), guid.end());
      return Cell{true, bytes_};
    }
    case ColumnType::DateTime:
      bytes_.resize(8);
      jet::PutF64(bytes_.data(), ParseDateTime(text));
      return Cell{true, bytes_};
    case ColumnType::YesNo:
      return Cell{ParseYesNo(text), {}};
  }
  return Cell{};
}

Cell ValueEncoder::Fixed(std::uint32_t value) {
  bytes_.resize(4);
  jet::PutU32(bytes_.data(), value);
  return Cell{true, bytes_};
}

Cell ValueEncoder::StoreLongValue(const char* what) {
  if (stored_.size() > kMemoMaxStoredSize) {
    throw ValueError(std::string("the ") + what + " takes " + std::to_string(stored_.size()) +
                     " bytes; at most " + std::to_string(kMemoMaxStoredSize) + " fit");
  }
  memo_->Store(stored_, bytes_);
  inline_memo_ = bytes_.size() - kMemoHeaderSize;
  return Cell{true, bytes_};
}

Cell ValueEncoder::MoveMemoOutOfRow() {
  memo_->StoreApart(stored_, bytes_);
  inline_memo_ = 0;
  return Cell{true, bytes_};
}

}  // namespace mkmdb
