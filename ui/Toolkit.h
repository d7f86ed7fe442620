// What the window's behaviour needs of its toolkit beyond the controls:
// windows, the standard error box, the save dialog, modal dialogs and the
// loop the HID layer runs on. One per front end; tests wrap it to answer the
// modal parts instead of a person.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/Form.h"

namespace hidplatform {
class MainLoop;
}  // namespace hidplatform

namespace ui {

struct FileFilter {
  std::string description{};  // the name the user sees: "Text Files *.txt"
  std::string pattern{};      // "*.txt"
};

struct SaveDialogOptions {
  std::string title{};
  std::vector<FileFilter> filters{};  // the first is chosen
  std::string defaultExtension{};     // appended to a name typed without one ("txt")
  std::string initialDirectory{};     // the process's current directory when empty
  bool replaceWithoutPrompt = true;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // A new window; a dialog names its owner.
  virtual std::unique_ptr<Form> MakeForm(const FormLayout& layout, Form* owner) = 0;
  // Shows a dialog made by MakeForm and returns when it was closed.
  virtual void RunModal(Form& dialog) = 0;
  // The modal save dialog; empty when the user cancelled.
  virtual std::optional<std::string> AskSaveFileName(const SaveDialogOptions& layout,
                                                     Form& owner) = 0;
  // The application's standard error box, for a failure a handler raised.
  virtual void ShowError(std::string_view message) = 0;

  // The HID layer's main loop on this toolkit's event loop.
  virtual hidplatform::MainLoop& HidMainLoop() = 0;
  // The directory of the running program (where the burner and the firmware
  // file are).
  virtual std::string ProgramDirectory() const = 0;
};

}  // namespace ui
