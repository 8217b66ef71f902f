// What every fuzz target shares: a property check that stops the run, so that libFuzzer keeps the
// input as a crash; and the input as text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

[[noreturn]] inline void PropertyBroken(const char* file, int line, const char* property) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, property);
  std::abort();
}
#define ZEL_FUZZ_CHECK(property) \
  ((property) ? void() : PropertyBroken(__FILE__, __LINE__, #property))

inline std::string_view FuzzText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}
