#include "tools/kbemu/UhidDevice.h"

#include "base/TextEncoding.h"
#include "hid/platform/ReportDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kbemu {

bool DescriptorUsesReportIds(std::span<const std::uint8_t> descriptor) {
  const auto parsed = hidplatform::ParseReportDescriptor(descriptor);
  return parsed && parsed->usesReportIds;
}

namespace {

template <std::size_t N>
void CopyText(std::uint8_t (&field)[N], const std::string& text) {
  // NUL-terminated and cut at the field's size.
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

// Throws UhidError that says what is missing: the module or the access.
int OpenUhid(const std::string& devicePath) {
  const int fd = ::open(devicePath.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0) return fd;
  const int error = errno;
  std::string message = "cannot open " + devicePath + ": " + std::strerror(error);
  if (error == ENOENT) {
    message += " (this kernel has no uhid; load it with: sudo modprobe uhid)";
  } else if (error == EACCES || error == EPERM) {
    message +=
        " (run kbemu as root, or allow your user with a udev rule for uhid: see kbemu --help)";
  }
  throw UhidError(message);
}

}  // namespace

void CheckUhidAccess(const std::string& devicePath) {
  ::close(OpenUhid(devicePath));
}

UhidDevice::UhidDevice(const std::string& devicePath, const emulator::DeviceIdentity& identity,
                       const std::string& physicalPath) {
  if (identity.reportDescriptor.size() > HID_MAX_DESCRIPTOR_SIZE) {
    throw UhidError("report descriptor too long for uhid");
  }
  fd_ = OpenUhid(devicePath);
  usesReportIds_ = DescriptorUsesReportIds(identity.reportDescriptor);

  uhid_event event{};
  event.type = UHID_CREATE2;
  auto& create = event.u.create2;
  CopyText(create.name, hidplatform::Utf16ToUtf8(identity.product).value_or(std::string()));
  CopyText(create.phys, physicalPath);
  CopyText(create.uniq, hidplatform::Utf16ToUtf8(identity.serialNumber).value_or(std::string()));
  create.rd_size = static_cast<std::uint16_t>(identity.reportDescriptor.size());
  create.bus = 0x03;  // BUS_USB: the keyboard is a USB device
  create.vendor = identity.vendorId;
  create.product = identity.productId;
  create.version = identity.versionNumber;
  create.country = 0;
  std::memcpy(create.rd_data, identity.reportDescriptor.data(), identity.reportDescriptor.size());
  if (!Write(event)) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    throw UhidError("the kernel refused the new device: " + std::string(std::strerror(error)));
  }
}

UhidDevice::~UhidDevice() {
  if (fd_ < 0) return;
  uhid_event event{};
  event.type = UHID_DESTROY;
  Write(event);
  // Closing the descriptor alone would also destroy the device.
  ::close(fd_);
}

bool UhidDevice::Write(const uhid_event& event) {
  for (;;) {
    const ssize_t n = ::write(fd_, &event, sizeof event);
    if (n == static_cast<ssize_t>(sizeof event)) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

bool UhidDevice::SendInput(std::span<const std::uint8_t> report) {
  if (!usesReportIds_ && !report.empty()) report = report.subspan(1);
  if (report.size() > UHID_DATA_MAX) return false;
  uhid_event event{};
  event.type = UHID_INPUT2;
  event.u.input2.size = static_cast<std::uint16_t>(report.size());
  std::memcpy(event.u.input2.data, report.data(), report.size());
  return Write(event);
}

std::optional<uhid_event> UhidDevice::ReadEvent() {
  uhid_event event{};
  for (;;) {
    const ssize_t n = ::read(fd_, &event, sizeof event);
    if (n > 0) return event;
    if (n < 0 && errno == EINTR) continue;
    return std::nullopt;
  }
}

void UhidDevice::ReplyGetReport(std::uint32_t id, std::uint16_t error) {
  uhid_event event{};
  event.type = UHID_GET_REPORT_REPLY;
  event.u.get_report_reply.id = id;
  event.u.get_report_reply.err = error;
  Write(event);
}

void UhidDevice::ReplySetReport(std::uint32_t id, std::uint16_t error) {
  uhid_event event{};
  event.type = UHID_SET_REPORT_REPLY;
  event.u.set_report_reply.id = id;
  event.u.set_report_reply.err = error;
  Write(event);
}

}  // namespace kbemu
