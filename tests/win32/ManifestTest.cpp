// Each program's manifest, as the system's loader reads it from the built
// file (an activation context made from resource 1 of RT_MANIFEST), so a
// program that lost its manifest, or one the loader rejects, fails here.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

constexpr const wchar_t* kSettings2005 = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
constexpr const wchar_t* kSettings2016 = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";

std::wstring Setting(HANDLE context, const wchar_t* nameSpace, const wchar_t* name) {
  wchar_t value[128] = {};
  SIZE_T written = 0;
  return QueryActCtxSettingsW(0, context, nameSpace, name, value, 128, &written) ? value : L"";
}

bool RunsAsInvoker(HANDLE context) {
  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
  return QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level,
                      sizeof level, nullptr) &&
         level.RunLevel == ACTCTX_RUN_LEVEL_AS_INVOKER && level.UiAccess == 0;
}

// Whether comctl32.dll comes from the context's side-by-side assembly of
// Common Controls 6 (the only one that redirects it).
bool BringsCommonControls6(HANDLE context) {
  ULONG_PTR cookie = 0;
  if (!ActivateActCtx(context, &cookie)) return false;
  ACTCTX_SECTION_KEYED_DATA found{};
  found.cbSize = sizeof found;
  const bool redirected =
      FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                               L"comctl32.dll", &found) != FALSE;
  DeactivateActCtx(0, cookie);
  return redirected;
}

TEST(Manifest, EveryProgramRunsAsInvokerDpiAwareAndTheWindowsWithCommonControls6) {
  std::wstring directory(32768, L'\0');
  directory.resize(GetModuleFileNameW(nullptr, directory.data(), 32768));
  directory.resize(directory.find_last_of(L'\\') + 1);
  // The programs beside this one; the window tests stand for every program
  // that makes the window (they share kbupdate's resources).
  const std::pair<std::string, bool> programs[] = {
      {"kbupdate.exe", true}, {"win32_window_tests.exe", true},
      {"mcuprog.exe", false}, {"hidlist.exe", false},
      {"kbctl.exe", false},   {"mtptool.exe", false}};
  for (const auto& [file, window] : programs) {
    SCOPED_TRACE(file);
    const std::wstring path = directory + std::wstring(file.begin(), file.end());
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "no usable manifest, error " << GetLastError();
    EXPECT_TRUE(RunsAsInvoker(context));
    EXPECT_EQ(Setting(context, kSettings2005, L"dpiAware"), L"true/pm");
    EXPECT_EQ(Setting(context, kSettings2016, L"dpiAwareness"), L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(BringsCommonControls6(context), window);
    ReleaseActCtx(context);
  }
}

}  // namespace
