// libFuzzer target: any bytes, opened as a database and read whole (indexes and row counts
// included), must end in success or in errors that say what is broken, without a crash, a
// hang, a sanitizer report or rows an index walk or a count gets wrong. Files are opened with
// the password of the encrypted seeds, so that their descriptions and pages are deciphered
// rather than refused for want of a password.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "read_everything.h"
#include "seed_password.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const jettest::ReadOutcome outcome =
      jettest::ReadEverythingIn(std::string(reinterpret_cast<const char*>(data), size),
                                jet::OpenOptions{jettest::kFuzzPassword});
  if (outcome.silentFailure) std::abort();  // a failure without a message is a finding too
  if (!outcome.wrongRows.empty()) std::abort();  // and so are rows an index or count gets wrong
  return 0;
}
