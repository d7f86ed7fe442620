// libFuzzer target for the .MTP parser: no input may crash it, and whatever
// it accepts must survive writing and reading again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "isp/MtpFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parsed = isp::ParseMtp(std::span<const std::uint8_t>(data, size));
  if (parsed.error != isp::MtpError::kOk) return 0;
  const auto again = isp::ParseMtp(isp::SerializeMtp(parsed.image));
  const isp::MtpImage& a = parsed.image;
  const isp::MtpImage& b = again.image;
  if (again.error != isp::MtpError::kOk || a.targetId != b.targetId || a.pageSize != b.pageSize ||
      a.pageCount != b.pageCount || a.program != b.program || a.option != b.option ||
      a.note != b.note || a.program.empty() || a.program.size() > isp::kMtpMaxBlockSize)
    std::abort();
  return 0;
}
