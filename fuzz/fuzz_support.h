// Helpers shared by the fuzz targets: packets shaped from fuzz input, and the one way a
// target reports a broken invariant (abort, so libFuzzer records the input).
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace k740fuzz {

// Stops the run with a message; libFuzzer saves the input that led here.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// `size` bytes from the input (zero-padded when it runs out), with `lead` bytes forced at the
// start so that most inputs pass the leading-bytes check and reach the decoder.
inline std::vector<std::uint8_t> shapedPacket(FuzzedDataProvider& in, std::size_t size,
                                              std::initializer_list<std::uint8_t> lead) {
    std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(size);
    bytes.resize(size, 0);
    std::size_t i = 0;
    for (std::uint8_t b : lead) {
        if (i < size) bytes[i++] = b;
    }
    return bytes;
}

// Form text: short Latin-1 strings most of the time, so digits, dots and signs come up often.
inline QString formText(FuzzedDataProvider& in) {
    const std::string s = in.ConsumeRandomLengthString(24);
    return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
}

}  // namespace k740fuzz
