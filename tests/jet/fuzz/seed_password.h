// The password of the encrypted seeds, which the fuzz target opens every input with.
#pragma once

namespace jettest {

inline constexpr char kFuzzPassword[] = "fuzz";

}  // namespace jettest
