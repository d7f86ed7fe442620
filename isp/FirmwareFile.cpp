#include "isp/FirmwareFile.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "isp/IspProtocol.h"

namespace isp {

MtpFileResult ReadMtpFile(const std::string& path) {
  MtpFileResult result;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) {
    std::error_code ignored;
    result.error = std::filesystem::exists(path, ignored)
                       ? "cannot be read as a regular file of at most 1 MiB"
                       : "not found";
    return result;
  }
  MtpParseResult parsed = ParseMtp(bytes);
  if (parsed.error != MtpError::kOk) {
    result.error = MtpErrorText(parsed.error);
    return result;
  }
  result.image = std::move(parsed.image);
  return result;
}

std::string CheckFirmwareFile(const std::string& path) {
  const MtpFileResult file = ReadMtpFile(path);
  if (!file.error.empty()) return file.error;
  return CheckMtpFitsTarget(file.image, protocol::kTargetId, protocol::kPageSize,
                            protocol::kPageCount, protocol::kOptionSize);
}

std::uint16_t FirmwareVersionOf(const MtpImage& image) {
  if (image.option.size() < 2) return 0;
  return static_cast<std::uint16_t>(image.option[0] | (image.option[1] << 8));
}

}  // namespace isp
