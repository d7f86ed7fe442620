// Little-endian field access for frames and file headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace isp {

inline std::uint16_t GetU16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t GetU24(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16);
}
inline std::uint32_t GetU32(std::span<const std::uint8_t> b, std::size_t at) {
  return GetU24(b, at) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline void PutU16(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU24(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
  PutU16(b, at, v);
  b[at + 2] = static_cast<std::uint8_t>(v >> 16);
}
inline void PutU32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
  PutU24(b, at, v);
  b[at + 3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace isp
