// "%g" and "%.17g" text without printf.
#include "export/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace k740 {

namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
constexpr double kNegativePow10[] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4};

// "00" "01" ... "99": two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Whole numbers of magnitude below `limit` print as plain integers in both formats; -0 keeps
// its sign there, so it is left to the general path.
inline bool wholeBelow(double v, double limit) {
    return v > -limit && v < limit && v == static_cast<double>(static_cast<long long>(v)) &&
           !(v == 0.0 && std::signbit(v));
}

// "%g" of values whose text is fixed-point (decimal exponent -4..5 after rounding to six
// digits), from the six digits rounded in double arithmetic. Returns nullptr where that
// rounding could differ from printf's exact rounding (a value within a hair of a tie) or the
// text would take an exponent: the caller then takes the general path.
char* putFixedG(char* out, double v) {
    const double a = std::fabs(v);
    if (!(a >= 1e-4 && a < 1e6)) return nullptr;
    // The double nearest each negative power of ten lies above it, so these comparisons
    // place every double exactly.
    int exponent = 5;
    while (exponent > -4 && a < (exponent >= 0 ? kPow10[exponent] : kNegativePow10[-exponent])) --exponent;
    int decimals = 5 - exponent;  // digits after the point before trailing zeros go
    // One rounding: off from the exact product by at most half a unit in its last place,
    // far below 1e-7 for products under 10^6.
    const double scaled = a * kPow10[decimals];
    std::uint32_t digits = static_cast<std::uint32_t>(scaled);  // below 10^6: the floor
    const double fraction = scaled - static_cast<double>(digits);
    if (std::fabs(fraction - 0.5) < 1e-7) return nullptr;
    digits += fraction > 0.5 ? 1u : 0u;
    if (digits >= 1000000u) {  // rounded up to the next power of ten
        if (decimals == 0) return nullptr;  // 999999.5 and up: "1e+06"
        digits /= 10;
        --decimals;
    }
    char text[6];
    for (int i = 4; i >= 0; i -= 2, digits /= 100) {
        const char* pair = kDigitPairs + 2 * (digits % 100);
        text[i] = pair[0];
        text[i + 1] = pair[1];
    }
    int used = 6;  // significant digits left once trailing zeros after the point go
    while (used > 0 && used > 6 - decimals && text[used - 1] == '0') --used;
    char* p = out;
    if (v < 0) *p++ = '-';
    if (decimals <= 5) {
        const int integerDigits = 6 - decimals;
        std::memcpy(p, text, static_cast<std::size_t>(integerDigits));
        p += integerDigits;
        if (used > integerDigits) {
            *p++ = '.';
            std::memcpy(p, text + integerDigits, static_cast<std::size_t>(used - integerDigits));
            p += used - integerDigits;
        }
        return p;
    }
    *p++ = '0';
    *p++ = '.';
    for (int i = 6; i < decimals; ++i) *p++ = '0';
    for (int i = 0; i < used; ++i) *p++ = text[i];
    return p;
}

}  // namespace

char* putNumberG(char* out, double v) {
    if (wholeBelow(v, 1e6)) return std::to_chars(out, out + kNumberTextRoom, static_cast<int>(v)).ptr;
    if (char* end = putFixedG(out, v)) return end;
    return std::to_chars(out, out + kNumberTextRoom, v, std::chars_format::general, 6).ptr;
}

std::string fixedText(double v, int decimals) {
    char text[400];  // the largest double with decimals up to 50
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(text, r.ptr) : std::string();
}

std::string numberTextG(double v) {
    char text[kNumberTextRoom];
    return std::string(text, putNumberG(text, v));
}

char* putNumberG17(char* out, double v) {
    if (wholeBelow(v, 1e15)) return std::to_chars(out, out + kNumberTextRoom, static_cast<long long>(v)).ptr;
    return std::to_chars(out, out + kNumberTextRoom, v, std::chars_format::general, 17).ptr;
}

}  // namespace k740
