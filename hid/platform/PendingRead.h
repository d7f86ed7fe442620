// The one read a backend handle may have outstanding, and how it ended.
// Plain state: the backend that holds it guards it with its own lock.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "hid/platform/HidBackend.h"

namespace hidplatform {

class PendingRead {
 public:
  bool Outstanding() const { return outstanding_; }
  // The size of the caller's buffer for the outstanding read.
  std::size_t Length() const { return length_; }

  void Start(std::uint8_t* buffer, std::size_t length) {
    buffer_ = buffer;
    length_ = length;
    completed_ = false;
    succeeded_ = false;
    bytes_ = 0;
    outstanding_ = true;
  }
  // Ends the outstanding read with as much of the report as fits the buffer.
  void Complete(std::span<const std::uint8_t> report) {
    const std::size_t n = std::min(length_, report.size());
    std::copy_n(report.begin(), n, buffer_);
    End(true, static_cast<std::uint32_t>(n), kErrorSuccess);
  }
  // Ends the outstanding read, if any, with an error.
  void Abort(std::uint32_t code) {
    if (outstanding_) End(false, 0, code);
  }
  // The byte count of the read that ended; false with the reason in code
  // while it is still outstanding, when none ended, or when it failed.
  bool Result(std::uint32_t& bytes, std::uint32_t& code) const {
    bytes = 0;
    if (outstanding_) {
      code = kErrorIoPending;
    } else if (!completed_) {
      code = kErrorGenFailure;
    } else if (!succeeded_) {
      code = error_;
    } else {
      bytes = bytes_;
      return true;
    }
    return false;
  }

 private:
  void End(bool ok, std::uint32_t bytes, std::uint32_t code) {
    outstanding_ = false;
    completed_ = true;
    succeeded_ = ok;
    bytes_ = bytes;
    error_ = code;
  }

  bool outstanding_ = false;
  std::uint8_t* buffer_ = nullptr;
  std::size_t length_ = 0;
  bool completed_ = false;
  bool succeeded_ = false;
  std::uint32_t bytes_ = 0;
  std::uint32_t error_ = kErrorSuccess;
};

}  // namespace hidplatform
