// The platform's setup and HID libraries, bound for as long as ISPDLL holds a
// connection: on Windows nothing can be listed or identified without them.
#pragma once

namespace isp {

class PlatformBinding {
 public:
  // Binds the setup library, then the HID library; all or nothing.
  PlatformBinding();
  ~PlatformBinding();
  PlatformBinding(const PlatformBinding&) = delete;
  PlatformBinding& operator=(const PlatformBinding&) = delete;

  bool Bound() const { return setupBound_ && hidAvailable_; }

 private:
  bool setupBound_ = false;
  bool hidAvailable_ = false;
  // The HID binding is not counted: it is released here only when this
  // object made it, so that another user in the process keeps its own.
  bool hidBoundHere_ = false;
};

}  // namespace isp
