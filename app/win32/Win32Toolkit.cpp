#include "app/win32/Win32Toolkit.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>

#include <vector>

#include "app/win32/Utf16.h"
#include "app/win32/Win32Form.h"
#include "hid/platform/NativeMainLoop.h"
#include "ui/HandlerGuard.h"

namespace win32 {

Win32Toolkit::Win32Toolkit() {
  comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  hidplatform::NativeMainLoop::Instance();  // its window belongs to this thread
}

Win32Toolkit::~Win32Toolkit() {
  if (comInitialised_) CoUninitialize();
}

std::unique_ptr<ui::Form> Win32Toolkit::MakeForm(const ui::FormLayout& layout, ui::Form* owner) {
  return std::make_unique<Win32Form>(
      layout, dynamic_cast<Win32Form*>(owner),
      [this](const std::function<void()>& handler) { RunHandler(handler); });
}

void Win32Toolkit::RunHandler(const std::function<void()>& handler) {
  ui::RunGuarded(handler, [this](std::string_view message) {
    if (reporter_) {
      reporter_(std::string(message));
    } else {
      ShowError(message);
    }
  });
}

void Win32Toolkit::RunModal(ui::Form& dialog) {
  auto& form = dynamic_cast<Win32Form&>(dialog);
  HWND owner = form.Owner() != nullptr ? form.Owner()->Handle() : nullptr;
  if (owner != nullptr && IsWindowEnabled(owner)) {
    EnableWindow(owner, FALSE);
    form.SetModalOwnerDisabled(true);
  }
  form.Show();
  MSG message;
  while (form.IsShown()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // The application ends: the outer loop must see the quit as well.
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      form.Close();
      break;
    }
    if (IsDialogMessageW(form.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  form.SetModalOwnerDisabled(false);
  if (owner != nullptr) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
}

std::wstring SaveDialogFilter(const ui::SaveDialogOptions& layout) {
  std::wstring filter;
  for (const ui::FileFilter& entry : layout.filters) {
    filter += Utf16FromUtf8(entry.description);
    filter += L'\0';
    filter += Utf16FromUtf8(entry.pattern);
    filter += L'\0';
  }
  filter += L'\0';
  return filter;
}

std::optional<std::string> Win32Toolkit::AskSaveFileName(const ui::SaveDialogOptions& layout,
                                                         ui::Form& owner) {
  const std::wstring filter = SaveDialogFilter(layout);
  const std::wstring title = Utf16FromUtf8(layout.title);
  const std::wstring extension = Utf16FromUtf8(layout.defaultExtension);
  const std::wstring directory = Utf16FromUtf8(layout.initialDirectory);
  // Room for the longest path the system has.
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  auto* form = dynamic_cast<Win32Form*>(&owner);
  dialog.hwndOwner = form != nullptr ? form->Handle() : nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  // Without a directory of its own the dialog opens in the current one.
  dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!layout.replaceWithoutPrompt) dialog.Flags |= OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return Utf8FromUtf16(file.data());
}

void Win32Toolkit::ShowError(std::string_view message) {
  MessageBoxW(GetActiveWindow(), Utf16FromUtf8(message).c_str(),
              Utf16FromUtf8(kProgramTitle).c_str(), MB_OK | MB_ICONERROR);
}

hidplatform::MainLoop& Win32Toolkit::HidMainLoop() {
  return hidplatform::NativeMainLoop::Instance();
}

std::string DirectoryOf(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring_view::npos) return {};
  return Utf8FromUtf16(path.substr(0, separator));
}

std::string Win32Toolkit::ProgramDirectory() const {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // cut short: try again with more room
  }
  return DirectoryOf(path);
}

int Win32Toolkit::RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 1;
    // Tab and the arrow keys move between the controls of the active form.
    HWND active = GetActiveWindow();
    if (Win32Form::FromHandle(active) != nullptr && IsDialogMessageW(active, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace win32
