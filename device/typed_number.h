// Numbers typed by the operator into settings fields, read strictly: a field that is empty or
// not a decimal number is refused by the caller instead of being read as 0, and values written
// to the sensor in hundredths are taken from the decimal digits as typed (0.29 is 29, not the
// 28 that truncating the binary product 0.29 x 100 would give).
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace k740 {

// A decimal number as typed: blanks around it, an optional sign, digits with at most one
// point, at least one digit ("-0.5", "+2", ".25", "3."). Nothing else (no exponent, no comma).
std::optional<double> typedDecimal(const QString& text);

// The typed decimal in hundredths, further digits truncated toward zero ("2.35" is 235,
// "-0.509" is -50, "-0.001" is 0). Nullopt for what typedDecimal refuses and for more than
// nine digits before the point.
std::optional<long long> hundredthsAsTyped(const QString& text);

// A port as typed: blanks around it, decimal digits only, 1 to 65535 ("+5", "2368.0" and
// "0x10" are no ports).
std::optional<std::uint16_t> typedPort(const QString& text);

}  // namespace k740
