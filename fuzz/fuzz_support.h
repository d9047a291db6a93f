// What the fuzz targets share: a property check that stops the run, and the way a target cuts its
// input into arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "text/text.h"

// A property that must hold for every input. On a violation the run stops with the condition and
// its place on stderr; libFuzzer keeps the input as a crash file.
#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "property violated: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                                        \
    }                                                                                          \
  } while (false)

// The input cut at its zero bytes into `count` texts: the bytes before the first zero byte, the
// bytes between the first and the second, and so on. Missing texts are empty and bytes after the
// last one used are ignored. A Text holds no zero byte, so the zero byte is a natural separator.
inline TextList CutInput(const std::uint8_t* data, std::size_t size, std::size_t count) {
  TextList texts(count);
  std::size_t index = 0;
  for (std::size_t i = 0; i < size && index < count; ++i) {
    if (data[i] == 0) {
      ++index;
    } else {
      texts[index] += static_cast<char>(data[i]);
    }
  }
  return texts;
}

// The items end to end with the separator between them, as a reference for the primitives.
inline Text Join(const TextList& items, const Text& separator) {
  Text joined;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0)
      joined += separator;
    joined += items[i];
  }
  return joined;
}
