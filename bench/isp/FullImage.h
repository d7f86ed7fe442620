// The firmware image the burn benchmarks write: every page of the flash, so
// that each page is erased, programmed and verified, filled with a fixed
// pseudo-random pattern (the same bytes at every run).
#pragma once

#include <cstddef>
#include <cstdint>

#include "isp/IspProtocol.h"
#include "isp/MtpFormat.h"

namespace bench {

inline isp::MtpImage FullImage(std::uint16_t version) {
  isp::MtpImage image;
  image.targetId = isp::protocol::kTargetId;
  image.pageSize = isp::protocol::kPageSize;
  image.pageCount = isp::protocol::kPageCount;
  image.program.resize(static_cast<std::size_t>(isp::protocol::kPageSize) *
                       isp::protocol::kPageCount);
  std::uint32_t state = 12345;
  for (auto& b : image.program) b = static_cast<std::uint8_t>((state = state * 69069U + 1U) >> 24);
  image.option = {static_cast<std::uint8_t>(version & 0xFF),
                  static_cast<std::uint8_t>(version >> 8)};
  return image;
}

}  // namespace bench
