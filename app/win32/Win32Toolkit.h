// The Win32 front end of the window's behaviour: ui::Toolkit on the
// platform's own windows, dialogs and message loop. The HID layer's loop is
// the thread's message loop (NativeMainLoop), so device changes, timers and
// window messages all arrive through the same GetMessage.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/Toolkit.h"

namespace win32 {

class Win32Toolkit : public ui::Toolkit {
 public:
  // Initialises COM (the imaging component and the shell need it) and the
  // common controls for this thread; make it on the main thread.
  Win32Toolkit();
  ~Win32Toolkit() override;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  std::unique_ptr<ui::Form> MakeForm(const ui::FormLayout& layout, ui::Form* owner) override;
  // A modal loop: the owner is disabled until the dialog is closed.
  void RunModal(ui::Form& dialog) override;
  std::optional<std::string> AskSaveFileName(const ui::SaveDialogOptions& layout,
                                             ui::Form& owner) override;
  void ShowError(std::string_view message) override;
  hidplatform::MainLoop& HidMainLoop() override;
  std::string ProgramDirectory() const override;

  // Where an exception that escaped a handler is reported; the error box
  // unless replaced (tests).
  using ErrorReporter = std::function<void(std::string_view message)>;
  void SetErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }
  // Runs a handler of the behaviour; what it raises goes to the reporter.
  void RunHandler(const std::function<void()>& handler);

  // The application's message loop until the main window is closed; the
  // exit code of WM_QUIT.
  static int RunMessageLoop();

 private:
  bool comInitialised_ = false;
  ErrorReporter reporter_;
};

// The program's title, as the error box shows it.
inline constexpr const char* kProgramTitle = "kbupdate";

// The Windows filter string of the save dialog: description and pattern of
// each filter, each ended by a zero, the whole ended by one more.
std::wstring SaveDialogFilter(const ui::SaveDialogOptions& layout);

// The directory part of a module's path (without the trailing separator).
std::string DirectoryOf(std::wstring_view path);

}  // namespace win32
