// Numbers as text exactly as printf writes them in the C locale ("%g" and "%.17g"), without
// printf's cost: the CSV rows and k740-convert's dump write tens of millions of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace k740 {

// Room a caller leaves for one number (the longest, "-1.2345678901234567e-308", is 24).
constexpr std::size_t kNumberTextRoom = 32;
// Room for the text of an int ("-2147483648") and of an unsigned 64-bit count.
constexpr std::size_t kIntTextRoom = std::numeric_limits<int>::digits10 + 2;
constexpr std::size_t kCountTextRoom = std::numeric_limits<std::uint64_t>::digits10 + 1;
static_assert(kIntTextRoom == sizeof "-2147483648" - 1, "an int's widest text");
static_assert(kCountTextRoom == sizeof "18446744073709551615" - 1, "a count's widest text");

// Room of a text line of fields, each followed by one separator (',', ' ' or the line's
// end): `numbers` written by putNumberG or putNumberG17, `ints`, `counts` (unsigned 64-bit),
// and `fixed` characters of its own.
constexpr std::size_t textLineRoom(std::size_t numbers, std::size_t ints, std::size_t counts,
                                   std::size_t fixed = 0) {
    return numbers * (kNumberTextRoom + 1) + ints * (kIntTextRoom + 1) +
           counts * (kCountTextRoom + 1) + fixed;
}

// Writes v as "%g" does (6 significant digits) at out; returns the end of the text.
char* putNumberG(char* out, double v);

// Writes v as "%.17g" does (17 significant digits) at out; returns the end of the text.
char* putNumberG17(char* out, double v);

// v with a fixed number of decimals, as "%.*f" writes it in the C locale ("-0.50" for -0.5, 2).
std::string fixedText(double v, int decimals);

// v as "%g" writes it in the C locale.
std::string numberTextG(double v);

}  // namespace k740
