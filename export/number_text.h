// Numbers as text exactly as printf writes them in the C locale ("%g" and "%.17g"), without
// printf's cost: the CSV rows and k740-convert's dump write tens of millions of them.
#pragma once

#include <cstddef>
#include <string>

namespace k740 {

// Room a caller leaves for one number (the longest, "-1.2345678901234567e-308", is 24).
constexpr std::size_t kNumberTextRoom = 32;

// Writes v as "%g" does (6 significant digits) at out; returns the end of the text.
char* putNumberG(char* out, double v);

// Writes v as "%.17g" does (17 significant digits) at out; returns the end of the text.
char* putNumberG17(char* out, double v);

// v with a fixed number of decimals, as "%.*f" writes it in the C locale ("-0.50" for -0.5, 2).
std::string fixedText(double v, int decimals);

// v as "%g" writes it in the C locale.
std::string numberTextG(double v);

}  // namespace k740
