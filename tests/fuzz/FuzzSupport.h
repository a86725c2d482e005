// Shared by the fuzz targets: a property that does not hold aborts with a message, so
// that libFuzzer reports it like a crash and keeps the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, std::string_view what) {
    std::fprintf(stderr, "%s:%d: property broken: %.*s (%s)\n", file, line, static_cast<int>(what.size()),
                 what.data(), condition);
    std::abort();
}

inline std::string_view Text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzz

#define FUZZ_REQUIRE(condition, what) \
    ((condition) ? static_cast<void>(0) : ::fuzz::Fail(__FILE__, __LINE__, #condition, what))
