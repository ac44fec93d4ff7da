// Long values (memo text, OLE objects): kept in the row after a 12-byte header, in one row of a
// long value page, or in a chain of such rows. Chains are followed no further than the
// declared length and never twice through the same row.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "file_context.h"

namespace jet {

class LongValueReader {
 public:
  explicit LongValueReader(const FileContext& file);

  // Appends the stored bytes of the value whose field in the row is `field` to `out`. False
  // with `error` saying what is broken; `what` names the kind of value in it ("memo").
  bool Read(const std::uint8_t* field, std::size_t size, const char* what, std::string& out,
            std::string& error);

 private:
  const FileContext& file_;
  PageBuffer page_;
  std::unordered_set<std::uint32_t> visited_;
};

}  // namespace jet
