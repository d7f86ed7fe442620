// libFuzzer entry: any byte string must parse or be rejected without a fault,
// and accepted descriptors must give self-consistent results.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "hid/platform/ReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parsed = hidplatform::ParseReportDescriptor(std::span(data, size));
  if (!parsed) return 0;
  for (const auto& collection : parsed->collections) {
    if (!parsed->usesReportIds && !collection.reportIds.empty()) std::abort();
    for (std::uint16_t length :
         {collection.inputReportByteLength, collection.outputReportByteLength,
          collection.featureReportByteLength}) {
      if (length == 1) std::abort();  // a report always has data beyond its id byte
    }
  }
  for (int id = 0; id < 256; ++id) {
    if (auto owner = hidplatform::CollectionOfReport(*parsed, static_cast<std::uint8_t>(id))) {
      if (*owner >= parsed->collections.size()) std::abort();
    }
  }
  return 0;
}
