// The window with the touchpad buttons' waits counted instead of slept and
// the touchpad image written into the scratch directory.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/TouchpadImage.h"
#include "tests/touchpad/PatternImage.h"
#include "tests/touchpad/ScratchDirWindowFixture.h"

namespace touchpad_test {

class CountingWaiter : public touchpad::Waiter {
 public:
  explicit CountingWaiter(std::vector<long>& waits) : waits_(waits) {}
  void Wait(std::chrono::milliseconds duration) override { waits_.push_back(duration.count()); }

 private:
  std::vector<long>& waits_;
};

class BurnWindowTest : public apptest::ScratchDirWindowTest {
 protected:
  // The window with a keyboard of the given number of interfaces listed.
  void OpenWithKeyboard(std::size_t interfaces) {
    Open();
    form->Touchpad->ReplaceWaiter(std::make_unique<CountingWaiter>(waits));
    if (interfaces > 0) keyboard = PlugAndWait(apptest::MakeKeyboard(interfaces));
    TakeWrites();
    historyBefore = History().size();
  }

  void WriteImage(std::size_t size, unsigned seed = 1) {
    image = PatternImage(size, seed);
    dir_.Write(touchpad::kImageFileName, image);
  }

  apptest::Lines NewHistory() const {
    const apptest::Lines all = History();
    return {all.begin() + static_cast<std::ptrdiff_t>(historyBefore), all.end()};
  }

  std::vector<ui::Control*> Radios() const {
    return {form->RadioButton1, form->RadioButton2, form->RadioButton3,
            form->RadioButton4, form->RadioButton5, form->RadioButton6};
  }

  std::vector<std::uint8_t> image;
  std::vector<long> waits;
  std::uint32_t keyboard = 0;
  std::size_t historyBefore = 0;
};

}  // namespace touchpad_test
