#include "hid/platform/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <map>

namespace hidplatform {
namespace {

// Item types and tags of the short item encoding.
constexpr int kTypeMain = 0;
constexpr int kTypeGlobal = 1;
constexpr int kTypeLocal = 2;

constexpr int kMainInput = 0x8;
constexpr int kMainOutput = 0x9;
constexpr int kMainCollection = 0xA;
constexpr int kMainFeature = 0xB;
constexpr int kMainEndCollection = 0xC;

constexpr int kGlobalUsagePage = 0x0;
constexpr int kGlobalReportSize = 0x7;
constexpr int kGlobalReportId = 0x8;
constexpr int kGlobalReportCount = 0x9;
constexpr int kGlobalPush = 0xA;
constexpr int kGlobalPop = 0xB;

constexpr int kLocalUsage = 0x0;

constexpr std::size_t kMaxPushDepth = 64;
constexpr std::size_t kMaxNesting = 64;
// A report longer than this cannot be expressed in a 16-bit length.
constexpr std::uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;

struct GlobalState {
  std::uint32_t usagePage = 0;
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;
};

enum ReportType { kInput = 0, kOutput = 1, kFeature = 2 };

struct CollectionBits {
  // Bits per report id, per report type.
  std::array<std::map<std::uint8_t, std::uint64_t>, 3> bits;
  CollectionReports result;
};

std::uint32_t ItemValue(std::span<const std::uint8_t> data) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < data.size(); ++i) value |= std::uint32_t{data[i]} << (8 * i);
  return value;
}

std::uint16_t ByteLength(const std::map<std::uint8_t, std::uint64_t>& reports) {
  std::uint64_t largest = 0;
  for (const auto& [id, bits] : reports) largest = std::max(largest, bits);
  if (largest == 0) return 0;
  return static_cast<std::uint16_t>((largest + 7) / 8 + 1);
}

}  // namespace

std::optional<ParsedDescriptor> ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
  ParsedDescriptor parsed;
  std::vector<CollectionBits> collections;
  GlobalState global;
  std::vector<GlobalState> pushed;
  std::vector<std::uint32_t> usages;  // local usages since the last main item
  std::size_t depth = 0;

  std::size_t pos = 0;
  while (pos < descriptor.size()) {
    const std::uint8_t prefix = descriptor[pos];
    if (prefix == 0xFE) {  // long item: size byte, tag byte, data
      if (pos + 2 >= descriptor.size()) return std::nullopt;
      const std::size_t size = descriptor[pos + 1];
      if (pos + 3 + size > descriptor.size()) return std::nullopt;
      pos += 3 + size;
      continue;
    }
    const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
    const int type = (prefix >> 2) & 3;
    const int tag = prefix >> 4;
    if (pos + 1 + size > descriptor.size()) return std::nullopt;
    const std::uint32_t value = ItemValue(descriptor.subspan(pos + 1, size));
    pos += 1 + size;

    if (type == kTypeMain) {
      switch (tag) {
        case kMainCollection:
          if (depth >= kMaxNesting) return std::nullopt;
          if (depth == 0) {
            CollectionBits top;
            const std::uint32_t usage = usages.empty() ? 0 : usages.front();
            // A 4-byte usage carries its own page in the upper half.
            top.result.usagePage =
                static_cast<std::uint16_t>(usage > 0xFFFF ? usage >> 16 : global.usagePage);
            top.result.usage = static_cast<std::uint16_t>(usage & 0xFFFF);
            collections.push_back(std::move(top));
          }
          ++depth;
          break;
        case kMainEndCollection:
          if (depth == 0) return std::nullopt;
          --depth;
          break;
        case kMainInput:
        case kMainOutput:
        case kMainFeature: {
          // Reports outside every collection belong to no interface.
          if (depth == 0) return std::nullopt;
          const ReportType reportType =
              tag == kMainInput ? kInput : (tag == kMainOutput ? kOutput : kFeature);
          auto& perId = collections.back().bits[reportType];
          const std::uint64_t add = std::uint64_t{global.reportSize} * global.reportCount;
          std::uint64_t& bits = perId[global.reportId];
          bits += add;
          if (bits > kMaxReportBits) return std::nullopt;
          auto& ids = collections.back().result.reportIds;
          if (parsed.usesReportIds &&
              std::find(ids.begin(), ids.end(), global.reportId) == ids.end()) {
            ids.push_back(global.reportId);
          }
          break;
        }
        default:
          return std::nullopt;
      }
      usages.clear();
    } else if (type == kTypeGlobal) {
      switch (tag) {
        case kGlobalUsagePage:
          global.usagePage = value;
          break;
        case kGlobalReportSize:
          global.reportSize = value;
          break;
        case kGlobalReportCount:
          global.reportCount = value;
          break;
        case kGlobalReportId:
          // Report id 0 is reserved; ids are one byte.
          if (value == 0 || value > 0xFF) return std::nullopt;
          // Reports declared before the first id would have no id at all.
          if (!parsed.usesReportIds) {
            for (const auto& c : collections) {
              for (const auto& perType : c.bits) {
                if (!perType.empty()) return std::nullopt;
              }
            }
          }
          parsed.usesReportIds = true;
          global.reportId = static_cast<std::uint8_t>(value);
          break;
        case kGlobalPush:
          if (pushed.size() >= kMaxPushDepth) return std::nullopt;
          pushed.push_back(global);
          break;
        case kGlobalPop:
          if (pushed.empty()) return std::nullopt;
          global = pushed.back();
          pushed.pop_back();
          break;
        default:
          break;  // logical/physical ranges, units: no effect on lengths
      }
    } else if (type == kTypeLocal) {
      if (tag == kLocalUsage) usages.push_back(size == 4 ? value : value & 0xFFFF);
    } else {
      return std::nullopt;  // reserved item type
    }
  }
  if (depth != 0) return std::nullopt;

  for (auto& c : collections) {
    c.result.inputReportByteLength = ByteLength(c.bits[kInput]);
    c.result.outputReportByteLength = ByteLength(c.bits[kOutput]);
    c.result.featureReportByteLength = ByteLength(c.bits[kFeature]);
    parsed.collections.push_back(std::move(c.result));
  }
  return parsed;
}

std::optional<std::size_t> CollectionOfReport(const ParsedDescriptor& parsed,
                                              std::uint8_t reportId) {
  if (parsed.collections.empty()) return std::nullopt;
  if (!parsed.usesReportIds) return 0;
  for (std::size_t i = 0; i < parsed.collections.size(); ++i) {
    const auto& ids = parsed.collections[i].reportIds;
    if (std::find(ids.begin(), ids.end(), reportId) != ids.end()) return i;
  }
  return std::nullopt;
}

}  // namespace hidplatform
