#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Entry points shared by the libFuzzer executables and the plain corpus replay runner, so
// that the ordinary build covers every committed input too.
namespace presmon::fuzz {

int Protocol(const uint8_t* data, size_t size);
int Ini(const uint8_t* data, size_t size);
int History(const uint8_t* data, size_t size);

// Aborts so that libFuzzer keeps the input and the replay runner fails its test.
[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
    std::abort();
}

} // namespace presmon::fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::presmon::fuzz::Fail(#condition, __FILE__, __LINE__);                                 \
    } while (0)
