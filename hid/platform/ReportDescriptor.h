// Report lengths of a HID report descriptor, per top-level collection, as a
// Windows host computes them: for each report type the largest report in
// bytes plus one byte for the report id (also when the device uses no ids).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace hidplatform {

struct CollectionReports {
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::uint16_t inputReportByteLength = 0;
  std::uint16_t outputReportByteLength = 0;
  std::uint16_t featureReportByteLength = 0;
  // Report ids of any type declared inside this collection (empty when the
  // descriptor uses no report ids).
  std::vector<std::uint8_t> reportIds;
};

struct ParsedDescriptor {
  bool usesReportIds = false;
  std::vector<CollectionReports> collections;  // in descriptor order
};

// nullopt for a descriptor that is truncated, nested wrongly, declares
// absurd sizes or otherwise cannot be parsed; callers then treat every report
// length as 0.
std::optional<ParsedDescriptor> ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

// The index of the collection that owns an input report with this id, or
// nullopt when no collection declares it. Without report ids every report
// belongs to the first collection.
std::optional<std::size_t> CollectionOfReport(const ParsedDescriptor& parsed,
                                              std::uint8_t reportId);

}  // namespace hidplatform
