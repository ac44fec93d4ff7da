// A fixed-width unsigned integer of 384 bits for the intermediate results of exact decimal
// arithmetic: a product of two 96-bit mantissas, or a dividend raised by up to 10^57, fits with
// room to spare. Only the operations that arithmetic needs; the callers keep every value below
// 2^384 (each operation says what it assumes).
#pragma once

#include <array>
#include <cstdint>

namespace mdbodbc::sql {

class WideUnsigned {
 public:
  static constexpr int kLimbs = 6;
  static constexpr int kBits = kLimbs * 64;

  constexpr WideUnsigned() = default;
  constexpr WideUnsigned(unsigned __int128 v)  // NOLINT: widening is always exact
      : limbs_{static_cast<std::uint64_t>(v), static_cast<std::uint64_t>(v >> 64), 0, 0, 0, 0} {}

  bool IsZero() const {
    for (std::uint64_t limb : limbs_) {
      if (limb != 0) return false;
    }
    return true;
  }
  // True when the value is below 2^128, so that Low128 is the whole value.
  bool Fits128() const {
    for (int i = 2; i < kLimbs; ++i) {
      if (limbs_[i] != 0) return false;
    }
    return true;
  }
  unsigned __int128 Low128() const {
    return (static_cast<unsigned __int128>(limbs_[1]) << 64) | limbs_[0];
  }
  bool IsOdd() const { return (limbs_[0] & 1) != 0; }

  // Number of significant bits (0 for zero).
  int BitLength() const {
    for (int i = kLimbs - 1; i >= 0; --i) {
      if (limbs_[i] != 0) return i * 64 + 64 - __builtin_clzll(limbs_[i]);
    }
    return 0;
  }

  // this = this * m + add. Returns false (leaving a truncated value) when the result does not
  // fit in 384 bits.
  bool MultiplyAdd(std::uint64_t m, std::uint64_t add = 0) {
    unsigned __int128 carry = add;
    for (std::uint64_t& limb : limbs_) {
      const unsigned __int128 t = static_cast<unsigned __int128>(limb) * m + carry;
      limb = static_cast<std::uint64_t>(t);
      carry = t >> 64;
    }
    return carry == 0;
  }

  // this = this / d, returning the remainder. d must not be 0.
  std::uint64_t DivideSmall(std::uint64_t d) {
    unsigned __int128 rest = 0;
    for (int i = kLimbs - 1; i >= 0; --i) {
      const unsigned __int128 t = (rest << 64) | limbs_[i];
      limbs_[i] = static_cast<std::uint64_t>(t / d);
      rest = t % d;
    }
    return static_cast<std::uint64_t>(rest);
  }

  // The full product; false when it does not fit in 384 bits.
  static bool Multiply(const WideUnsigned& a, const WideUnsigned& b, WideUnsigned& out) {
    std::array<std::uint64_t, 2 * kLimbs> product{};
    for (int i = 0; i < kLimbs; ++i) {
      if (a.limbs_[i] == 0) continue;
      unsigned __int128 carry = 0;
      for (int j = 0; j < kLimbs; ++j) {
        const unsigned __int128 t =
            static_cast<unsigned __int128>(a.limbs_[i]) * b.limbs_[j] + product[i + j] + carry;
        product[i + j] = static_cast<std::uint64_t>(t);
        carry = t >> 64;
      }
      product[i + kLimbs] = static_cast<std::uint64_t>(carry);
    }
    for (int i = kLimbs; i < 2 * kLimbs; ++i) {
      if (product[i] != 0) return false;
    }
    for (int i = 0; i < kLimbs; ++i) out.limbs_[i] = product[i];
    return true;
  }

  // this += other; false on a carry out of the top.
  bool Add(const WideUnsigned& other) {
    unsigned __int128 carry = 0;
    for (int i = 0; i < kLimbs; ++i) {
      const unsigned __int128 t = static_cast<unsigned __int128>(limbs_[i]) + other.limbs_[i] + carry;
      limbs_[i] = static_cast<std::uint64_t>(t);
      carry = t >> 64;
    }
    return carry == 0;
  }

  // this -= other; other must not be greater than this.
  void Subtract(const WideUnsigned& other) {
    std::uint64_t borrow = 0;
    for (int i = 0; i < kLimbs; ++i) {
      const std::uint64_t x = limbs_[i];
      const std::uint64_t y = other.limbs_[i];
      limbs_[i] = x - y - borrow;
      borrow = (x < y || (x == y && borrow != 0)) ? 1 : 0;
    }
  }

  static int Compare(const WideUnsigned& a, const WideUnsigned& b) {
    for (int i = kLimbs - 1; i >= 0; --i) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

  // Quotient and remainder of a / d by shift and subtract; d must not be 0.
  static void Divide(const WideUnsigned& a, const WideUnsigned& d, WideUnsigned& quotient,
                     WideUnsigned& remainder) {
    if (d.Fits128() && (d.Low128() >> 64) == 0) {
      quotient = a;
      remainder = WideUnsigned(quotient.DivideSmall(static_cast<std::uint64_t>(d.Low128())));
      return;
    }
    quotient = WideUnsigned();
    remainder = WideUnsigned();
    for (int bit = a.BitLength() - 1; bit >= 0; --bit) {
      remainder.ShiftLeftOne();
      if ((a.limbs_[bit / 64] >> (bit % 64)) & 1) remainder.limbs_[0] |= 1;
      if (Compare(remainder, d) >= 0) {
        remainder.Subtract(d);
        quotient.limbs_[bit / 64] |= std::uint64_t{1} << (bit % 64);
      }
    }
  }

  // 10^k for k in 0..115 (the largest power of ten below 2^384).
  static WideUnsigned PowerOfTen(int k) {
    WideUnsigned p(1);
    while (k >= 19) {
      p.MultiplyAdd(10'000'000'000'000'000'000ULL);
      k -= 19;
    }
    std::uint64_t rest = 1;
    while (k-- > 0) rest *= 10;
    p.MultiplyAdd(rest);
    return p;
  }
  static constexpr int kMaxPowerOfTen = 115;

 private:
  void ShiftLeftOne() {
    for (int i = kLimbs - 1; i > 0; --i) limbs_[i] = (limbs_[i] << 1) | (limbs_[i - 1] >> 63);
    limbs_[0] <<= 1;
  }

  std::array<std::uint64_t, kLimbs> limbs_{};
};

}  // namespace mdbodbc::sql
