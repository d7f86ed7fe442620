// The toolkit the window tests run on. One small factory per platform makes
// it (tests/support/qt/QtTestToolkit.cpp for Qt on Linux; the Win32 one
// beside it), so the same test sources drive either window through the ui
// interfaces. ScriptedToolkit wraps it and answers the modal parts (save
// dialog, modal dialogs, error box) instead of a person.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/Toolkit.h"

namespace testsupport {

// Makes the platform's toolkit (its application object, off-screen where the
// platform has that). The test program's main calls it once, before
// testing::InitGoogleTest (tests/support/ToolkitTestMain.cpp does).
void InitTestToolkit(int& argc, char** argv);
// Ends it again after the last test, before the program's static objects go.
void ShutdownTestToolkit();

// The toolkit made by InitTestToolkit.
ui::Toolkit& PlatformToolkit();

class ScriptedToolkit : public ui::Toolkit {
 public:
  explicit ScriptedToolkit(ui::Toolkit& platform = PlatformToolkit()) : platform_(platform) {}

  std::unique_ptr<ui::Form> MakeForm(const ui::FormLayout& layout, ui::Form* owner) override {
    return platform_.MakeForm(layout, owner);
  }
  // Shows the dialog, lets the test look at it and closes it again: nothing
  // waits for a person.
  void RunModal(ui::Form& dialog) override {
    ++modalRuns;
    dialog.Show();
    if (whileModal) whileModal(dialog);
    dialog.Close();
  }
  std::optional<std::string> AskSaveFileName(const ui::SaveDialogOptions& layout,
                                             ui::Form& /*owner*/) override {
    saveDialogs.push_back(layout);
    return saveAnswer;
  }
  void ShowError(std::string_view message) override { errors.emplace_back(message); }
  hidplatform::MainLoop& HidMainLoop() override { return platform_.HidMainLoop(); }
  std::string ProgramDirectory() const override { return platform_.ProgramDirectory(); }

  // The messages the error box would have shown since the last call.
  std::vector<std::string> TakeErrors() { return std::exchange(errors, {}); }

  // Called while a modal dialog is open.
  std::function<void(ui::Form& dialog)> whileModal;
  int modalRuns = 0;
  // The save dialog's answer: the chosen file name, or empty for Cancel.
  std::optional<std::string> saveAnswer;
  std::vector<ui::SaveDialogOptions> saveDialogs;
  std::vector<std::string> errors;

 private:
  ui::Toolkit& platform_;
};

}  // namespace testsupport
