#include "hid/platform/linux/LinuxHidBackend.h"

namespace hidplatform {

// Interim: reports "not bound" until the sysfs/hidraw implementation lands.
struct LinuxHidBackend::Impl {
  Options options;
};

LinuxHidBackend::LinuxHidBackend(Options options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
}
LinuxHidBackend::~LinuxHidBackend() = default;
bool LinuxHidBackend::BindEnumeration() {
  return false;
}
void LinuxHidBackend::ReleaseEnumeration() {}
bool LinuxHidBackend::BindHidAccess() {
  return false;
}
void LinuxHidBackend::ReleaseHidAccess() {}
bool LinuxHidBackend::EnumerateInterfaces(std::vector<InterfaceEntry>& out) {
  out.clear();
  return false;
}
Handle LinuxHidBackend::Open(const std::string&, Access) {
  return kInvalidHandle;
}
void LinuxHidBackend::Close(Handle) {}
bool LinuxHidBackend::GetAttributes(Handle, Attributes&) {
  return false;
}
std::unique_ptr<PreparsedData> LinuxHidBackend::GetPreparsedData(Handle) {
  return nullptr;
}
bool LinuxHidBackend::GetManufacturerString(Handle, void*, std::size_t) {
  return false;
}
bool LinuxHidBackend::GetProductString(Handle, void*, std::size_t) {
  return false;
}
bool LinuxHidBackend::GetSerialNumberString(Handle, void*, std::size_t) {
  return false;
}
bool LinuxHidBackend::GetIndexedString(Handle, std::uint32_t, void*, std::size_t) {
  return false;
}
bool LinuxHidBackend::GetNumInputBuffers(Handle, std::uint32_t&) {
  return false;
}
bool LinuxHidBackend::SetNumInputBuffers(Handle, std::uint32_t) {
  return false;
}
bool LinuxHidBackend::Write(Handle, const std::uint8_t*, std::size_t, std::uint32_t& written) {
  written = 0;
  return false;
}
bool LinuxHidBackend::StartRead(Handle, std::uint8_t*, std::size_t) {
  return false;
}
WaitResult LinuxHidBackend::WaitRead(Handle, int) {
  return WaitResult::kCompleted;
}
bool LinuxHidBackend::GetReadResult(Handle, std::uint32_t& bytes) {
  bytes = 0;
  return false;
}
bool LinuxHidBackend::CancelRead(Handle) {
  return false;
}
std::uint32_t LinuxHidBackend::LastError() {
  return kErrorGenFailure;
}
int LinuxHidBackend::ChangeNotificationFd() {
  return -1;
}
void LinuxHidBackend::DrainChangeNotifications() {}

}  // namespace hidplatform
