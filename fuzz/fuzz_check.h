// What the fuzz targets share: a check that stops the run with a message, so
// libFuzzer keeps the input that broke an invariant as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzzcheck {

// `text` with every byte outside printable ASCII as \xNN, for messages.
inline std::string Show(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += ch;
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out + "\"";
}

[[noreturn]] inline void Fail(const char* file, int line, const char* what,
                              const std::string& detail) {
    std::fprintf(stderr, "\n%s:%d: invariant broken: %s\n%s\n", file, line, what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzzcheck

// FUZZ_CHECK(condition, detail): aborts with `detail` (a std::string) when the
// condition is false.
#define FUZZ_CHECK(cond, detail)                                             \
    do {                                                                     \
        if (!(cond)) ::fuzzcheck::Fail(__FILE__, __LINE__, #cond, (detail)); \
    } while (0)
