// The part of an index a walk covers: keys from a low bound to a high bound, each given as the
// key bytes of the index's first columns (index_key.h) and taken in or left out.
#pragma once

#include <optional>
#include <string>

namespace jet {

struct KeyBound {
  std::string key;  // the segments of the first one or more key columns
  bool inclusive = true;
};

struct KeyRange {
  std::optional<KeyBound> low;   // none: from the first entry
  std::optional<KeyBound> high;  // none: to the last entry
};

}  // namespace jet
