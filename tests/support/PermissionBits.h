// Makes file permission bits bind the calling thread even when the tests run
// as root, so that a check of "permission denied" runs, and can fail, on
// every machine. Root passes them by two capabilities, which Linux keeps per
// thread: they leave the effective set while the object lives.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

class PermissionBitsBind {
 public:
  PermissionBitsBind() {
    if (::syscall(SYS_capget, &header_, saved_) != 0) throw std::runtime_error("capget failed");
    __user_cap_data_struct bound[2] = {saved_[0], saved_[1]};
    bound[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    if (::syscall(SYS_capset, &header_, bound) != 0) throw std::runtime_error("capset failed");
  }
  ~PermissionBitsBind() { ::syscall(SYS_capset, &header_, saved_); }
  PermissionBitsBind(const PermissionBitsBind&) = delete;
  PermissionBitsBind& operator=(const PermissionBitsBind&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

}  // namespace testsupport
