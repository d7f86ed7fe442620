#include "kbctl/KeyboardScan.h"

#include <memory>
#include <utility>

#include "base/TextEncoding.h"
#include "hid/platform/ErrorMessage.h"
#include "hid/platform/NativeMainLoop.h"

namespace kbctl {

using keyboard::DeviceKind;

namespace {

// Why an interface cannot be written, in words a user can act on; empty
// when it can.
std::string WriteProblem(hid::THidDevice& device) {
  if (device.HasReadWriteAccess()) return {};
  auto& backend = hidplatform::CurrentBackend();
  // Opened query-only when it was listed: try once more, it may have changed.
  const hidplatform::Handle probe =
      backend.Open(device.PnPInfo()->DevicePath, hidplatform::Access::kReadWrite);
  if (probe != hidplatform::kInvalidHandle) {
    backend.Close(probe);
    return {};
  }
  const std::uint32_t error = backend.LastError();
#if defined(_WIN32)
  if (error == hidplatform::kErrorAccessDenied) {
    return "no permission: another program may hold the keyboard open exclusively";
  }
#else
  if (error == hidplatform::kErrorAccessDenied) {
    return "no permission: install the udev rule, see docs/linux.md";
  }
#endif
  return "cannot open for writing: " + hidplatform::ShortErrorMessage(error);
}

}  // namespace

bool KeyboardScan::Run(std::ostream& err) {
  controller_.SetOnEnumerate({this, &KeyboardScan::Enumerate});
  controller_.SetOnDeviceChange({this, &KeyboardScan::Change});
  controller_.SetLoading(false);
  if (!controller_.HasNotifyWindow()) {
#if defined(_WIN32)
    err << "kbctl: HID access is not available (SetupApi.dll or HID.dll could not be loaded "
           "or lacks entry points).\n";
#else
    err << "kbctl: HID access is not available (libudev.so.1 could not be loaded or lacks "
           "entry points).\n";
#endif
    return false;
  }
  // The limit is a guard only: the first scan is queued and runs at once.
  if (!hidplatform::NativeMainLoop::Instance().RunUntil([this] { return done_; },
                                                        std::chrono::seconds(30))) {
    err << "kbctl: the device scan did not finish.\n";
    return false;
  }
  return true;
}

bool KeyboardScan::WaitFor(const std::function<bool(const std::vector<Keyboard>&)>& done,
                           std::chrono::milliseconds limit) {
  return hidplatform::NativeMainLoop::Instance().RunUntil(
      [this, &done] { return done(keyboards_); }, limit);
}

WriteCount KeyboardScan::WriteCommand(const keyboard::Command& command,
                                      const std::function<bool(const Interface&)>& pick) {
  WriteCount count;
  for (const Interface& entry : interfaces_) {
    if (entry.kind != DeviceKind::kKeyboard || !pick(entry)) continue;
    ++count.tried;
    hid::THidDevice* claimed = nullptr;
    // An interface whose claim fails has nothing to write to.
    if (!controller_.ClaimDeviceByIndex(claimed, entry.index)) continue;
    const std::unique_ptr<hid::THidDevice> device(claimed);
    const std::optional<std::uint32_t> error =
        keyboard::WriteCommand(*device, command.code, command.argument);
    if (!error) {
      ++count.written;
    } else if (!count.firstError) {
      count.firstError = error;
    }
  }
  return count;
}

bool KeyboardScan::Enumerate(hid::THidDevice* device, std::int32_t index) {
  const hid::HIDD_ATTRIBUTES& ids = device->Attributes();
  const DeviceKind kind = keyboard::KindOf(ids.VendorID, ids.ProductID);
  if (kind == DeviceKind::kOther) return true;
  Interface entry;
  entry.kind = kind;
  entry.path = device->PnPInfo()->DevicePath;
  entry.problem = WriteProblem(*device);
  const std::string serial = hidplatform::Utf16ToShownUtf8(device->GetSerialNumber());
  const std::string product = hidplatform::Utf16ToShownUtf8(device->GetProductName());

  // Interfaces of one USB device share its IDs, serial number and physical
  // device. Where neither a serial number nor the system tells two
  // keyboards apart, their interfaces make one.
  const std::string physical = hidplatform::CurrentBackend().PhysicalDevice(entry.path);
  const auto key = std::make_tuple(ids.VendorID, ids.ProductID, serial, physical);
  auto [at, added] = groups_.try_emplace(key, keyboards_.size());
  if (added) {
    Keyboard& board = keyboards_.emplace_back();
    board.kind = kind;
    board.vendorId = ids.VendorID;
    board.productId = ids.ProductID;
    board.version = ids.VersionNumber;
    board.serial = serial;
    board.product = product;
  }
  Keyboard& board = keyboards_[at->second];
  board.paths.push_back(entry.path);
  if (board.problem.empty()) board.problem = entry.problem;

  entry.index = index;
  interfaces_.push_back(std::move(entry));
  return true;
}

// Every change is a new scan.
void KeyboardScan::Change(hid::THidDeviceController* sender) {
  interfaces_.clear();
  keyboards_.clear();
  groups_.clear();
  sender->EnumerateDevices();
  done_ = true;
}

}  // namespace kbctl
