// Touchpad image contents for the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace touchpad_test {

// Bytes whose value depends on the offset, so every line of an image differs
// from its neighbours and a shifted or repeated window shows.
inline std::vector<std::uint8_t> PatternImage(std::size_t size, unsigned seed = 1) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 131u + (i >> 8) * 7u + seed) & 0xFF);
  }
  return bytes;
}

}  // namespace touchpad_test
