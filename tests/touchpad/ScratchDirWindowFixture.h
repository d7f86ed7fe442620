// The update window run in a scratch working directory of its own: the
// directory the touchpad image is read from and the save dialog opens in.
#pragma once

#include <filesystem>
#include <string>

#include "tests/app/WindowFixture.h"
#include "tests/support/TempDir.h"

namespace apptest {

class ScratchDirWindowTest : public WindowTest {
 protected:
  ScratchDirWindowTest() : previousDir_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir_.Path());
  }
  ~ScratchDirWindowTest() override {
    form.reset();
    std::filesystem::current_path(previousDir_);
  }

  // A file's path in the scratch directory.
  std::string FilePath(const std::string& name) const { return (dir_ / name).string(); }

  testsupport::TempDir dir_{"kbupdate-window"};

 private:
  std::filesystem::path previousDir_;
};

}  // namespace apptest
