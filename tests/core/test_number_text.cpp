// Number text without printf: the same characters as printf's "%g" and "%.17g" in the C
// locale, over a sweep of values, nothing written past the text, with the CSV rows built on it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "export/number_text.h"

namespace {

std::string viaPrintf(const char* format, double v) {
    // The number text is the same on every system; printf's NaN is not: glibc writes the
    // sign of a negative NaN, Windows' printf does not. The glibc text is the reference.
    if (std::isnan(v)) return std::signbit(v) ? "-nan" : "nan";
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// The text a writer puts into the caller's room; the room past the text's end must stay as the
// caller left it (rows are built number after number in one buffer).
std::string written(char* (*put)(char*, double), double v) {
    char room[k740::kNumberTextRoom];
    std::memset(room, '#', sizeof room);
    char* end = put(room, v);
    for (const char* p = end; p < room + sizeof room; ++p)
        if (*p != '#') {
            ADD_FAILURE() << "written past the end of \"" << std::string(room, end) << "\"";
            break;
        }
    return std::string(room, end);
}

std::string viaG(double v) { return written(k740::putNumberG, v); }

std::string viaG17(double v) { return written(k740::putNumberG17, v); }

// Counts the values whose text differs from printf's, reporting the first few.
struct Comparison {
    std::size_t compared = 0, differing = 0;
    void check(double v) {
        for (const double x : {v, -v}) {
            ++compared;
            const std::string g = viaG(x), pg = viaPrintf("%g", x);
            const std::string g17 = viaG17(x), pg17 = viaPrintf("%.17g", x);
            if (g != pg && differing++ < 10) ADD_FAILURE() << viaPrintf("%a", x) << ": %g " << pg << ", got " << g;
            if (g17 != pg17 && differing++ < 10)
                ADD_FAILURE() << viaPrintf("%a", x) << ": %.17g " << pg17 << ", got " << g17;
        }
    }
};

}  // namespace

TEST(NumberText, SpecialValuesReadAsPrintfWritesThem) {
    // Zero keeps its sign; infinities and NaN in printf's words; the limits of the double.
    Comparison c;
    for (const double v :
         {0.0, 1.0, 0.5, 1e-4, 1e-5, 1e5, 1e6, 1e15, 1e16, 1e17, 123456.0, 999999.0, 1e300,
          std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
          std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()})
        c.check(v);
    EXPECT_EQ(c.differing, 0u);
    EXPECT_EQ(viaG(-0.0), "-0");
    EXPECT_EQ(viaG17(-0.0), "-0");
    EXPECT_EQ(viaG(0.0), "0");
}

TEST(NumberText, RoundingAtTiesAndAtTheEdgesOfTheFixedForm) {
    // Values a hair either side of a rounding tie at the sixth digit, exact binary ties
    // (printf rounds them to even), and values that round up into the next power of ten or
    // out of the fixed form ("1e+06", "0.0001" against "9.99999e-05").
    Comparison c;
    for (double base = 1e-5; base < 1e7; base *= 10) {
        for (const double m : {1.234565, 2.5, 9.999995, 9.9999949999, 9.99999500001, 1.0000005, 4.5, 0.5}) {
            const double v = m * base;
            c.check(v);
            c.check(std::nextafter(v, 0.0));
            c.check(std::nextafter(v, 1e300));
        }
    }
    for (const double v : {0.125, 0.375, 2.5, 1024.5, 131072.5, 999999.5, 99999.95, 0.000125, 0.0001220703125})
        c.check(v);
    EXPECT_EQ(c.differing, 0u);
    EXPECT_EQ(viaG(999999.5), "1e+06");
    EXPECT_EQ(viaG(123456.5), "123456");  // an exact tie rounds to even
}

TEST(NumberText, RandomSweepOverEveryMagnitude) {
    // Random bit patterns (every exponent, subnormals, NaNs), decimals of every magnitude from
    // 1e-20 to 1e20, values with few digits, and the single-precision values the coordinates
    // and azimuths come from.
    std::mt19937_64 rng(20240611);
    Comparison c;
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        c.check(v);
        const double mantissa = std::ldexp(static_cast<double>(rng() >> 11), -53);
        const double scaled = mantissa * std::pow(10.0, static_cast<int>(rng() % 41) - 20);
        c.check(scaled);
        c.check(static_cast<double>(static_cast<float>(scaled)));
        c.check(std::round(scaled * 1e4) / 1e4);
        c.check(static_cast<double>(rng() % 3600000) / 10000.0);
    }
    EXPECT_EQ(c.differing, 0u);
    EXPECT_EQ(c.compared, 2u * 5 * 200000);
}
