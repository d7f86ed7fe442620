// CRC-32 (IEEE 802.3, reflected, as zlib) used by the .MTP file and by every
// boot-loader frame. Header-only so that the emulated boot loader can use it
// without linking the library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace isp {

namespace detail {
constexpr std::array<std::uint32_t, 256> MakeCrc32Table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1U) ? (0xEDB88320U ^ (c >> 1)) : (c >> 1);
    table[i] = c;
  }
  return table;
}
inline constexpr std::array<std::uint32_t, 256> kCrc32Table = MakeCrc32Table();
}  // namespace detail

// Continues a CRC over more bytes; start with crc = 0.
inline std::uint32_t Crc32Update(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  crc = ~crc;
  for (std::uint8_t b : bytes) crc = detail::kCrc32Table[(crc ^ b) & 0xFFU] ^ (crc >> 8);
  return ~crc;
}

inline std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  return Crc32Update(0, bytes);
}

}  // namespace isp
