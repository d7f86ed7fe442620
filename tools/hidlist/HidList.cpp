#include "tools/hidlist/HidList.h"

#include <chrono>
#include <string>

#include "base/HexText.h"
#include "base/TextEncoding.h"
#include "hid/HidControllerClass.h"
#include "hid/platform/NativeMainLoop.h"

namespace hidlist {
namespace {

std::string Utf8(const std::u16string& text) {
  return hidplatform::Utf16ToUtf8(text).value_or("?");
}

// Why an interface could only be queried, in words a user can act on.
std::string AccessText(hid::THidDevice& device) {
  if (device.HasReadWriteAccess()) return "read-write";
  auto& backend = hidplatform::CurrentBackend();
  const hidplatform::Handle probe =
      backend.Open(device.PnPInfo()->DevicePath, hidplatform::Access::kReadWrite);
  if (probe != hidplatform::kInvalidHandle) {
    backend.Close(probe);
    return "read-write (was query-only when first seen)";
  }
  switch (backend.LastError()) {
    case hidplatform::kErrorAccessDenied:
      return "query-only: permission denied (install the udev rule, see docs/linux.md)";
    case hidplatform::kErrorFileNotFound:
      return "query-only: device node missing";
    default:
      return "query-only: open failed with error " + std::to_string(backend.LastError());
  }
}

class Lister {
 public:
  explicit Lister(std::ostream& out) : out_(out) {}

  bool Enumerate(hid::THidDevice* device, std::int32_t) {
    const auto& a = device->Attributes();
    hid::HIDP_CAPS caps;
    device->GetCapabilities(caps);
    out_ << "Device VID=" << UpperHex(a.VendorID, 4) << " PID=" << UpperHex(a.ProductID, 4)
         << " VER=" << UpperHex(a.VersionNumber, 4) << "  \"" << Utf8(device->GetProductName())
         << "\"  in=" << caps.InputReportByteLength << " out=" << caps.OutputReportByteLength
         << " feature=" << caps.FeatureReportByteLength << "  " << device->PnPInfo()->DevicePath
         << "  instance=0x" << UpperHex(device->PnPInfo()->DeviceInstance, 8) << "  "
         << AccessText(*device) << "\n";
    ++listed_;
    return true;
  }

  void Change(hid::THidDeviceController* sender) {
    if (done_) return;
    done_ = true;
    sender->EnumerateDevices();
  }

  int Listed() const { return listed_; }
  bool Done() const { return done_; }

 private:
  std::ostream& out_;
  int listed_ = 0;
  bool done_ = false;
};

}  // namespace

int ListInterfaces(std::ostream& out, std::ostream& err) {
  Lister lister(out);
  hid::THidDeviceController controller(true);
  controller.SetOnEnumerate({&lister, &Lister::Enumerate});
  controller.SetOnDeviceChange({&lister, &Lister::Change});
  controller.SetLoading(false);
  if (!controller.HasNotifyWindow()) {
#if defined(_WIN32)
    err << "hidlist: HID access is not available (SetupApi.dll or HID.dll could not be loaded "
           "or lacks entry points); no device can be seen.\n";
#else
    err << "hidlist: HID access is not available (libudev.so.1 could not be loaded or lacks "
           "entry points); no device can be seen.\n";
#endif
    return 1;
  }
  // The limit is a guard only: the first scan is queued and runs at once.
  if (!hidplatform::NativeMainLoop::Instance().RunUntil([&] { return lister.Done(); },
                                                        std::chrono::seconds(30))) {
    err << "hidlist: the device scan did not finish.\n";
    return 1;
  }
  if (lister.Listed() == 0) out << "hidlist: found no HID interface.\n";
  return 0;
}

}  // namespace hidlist
