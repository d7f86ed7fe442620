// Each program's manifest, as the system's loader reads it from the built
// file (an activation context made from resource 1 of RT_MANIFEST), so a
// program that lost its manifest, or one the loader rejects, fails here.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring ProgramDirectory() {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  return self.substr(0, self.find_last_of(L'\\') + 1);
}

class ActivationContext {
 public:
  explicit ActivationContext(const std::wstring& program) {
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    handle_ = CreateActCtxW(&request);
    error_ = handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  }
  ~ActivationContext() {
    if (handle_ != INVALID_HANDLE_VALUE) ReleaseActCtx(handle_);
  }
  ActivationContext(const ActivationContext&) = delete;
  ActivationContext& operator=(const ActivationContext&) = delete;

  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  DWORD Error() const { return error_; }

  // A setting of <windowsSettings> in that namespace; empty when absent.
  std::wstring Setting(const wchar_t* nameSpace, const wchar_t* name) const {
    wchar_t value[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, handle_, nameSpace, name, value, 128, &written)) return {};
    return value;
  }

  bool RunsAsInvoker() const {
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
    return QueryActCtxW(0, handle_, nullptr, RunlevelInformationInActivationContext, &level,
                        sizeof level, nullptr) &&
           level.RunLevel == ACTCTX_RUN_LEVEL_AS_INVOKER && level.UiAccess == 0;
  }

  // The encoded identities of the assemblies the context brings (the
  // program's own first).
  std::vector<std::wstring> Assemblies() const {
    std::vector<std::wstring> names;
    // Both answers carry their strings after the structure: asked for the
    // size first.
    SIZE_T needed = 0;
    QueryActCtxW(0, handle_, nullptr, ActivationContextDetailedInformation, nullptr, 0, &needed);
    std::vector<char> contextBuffer(needed);
    auto* context =
        reinterpret_cast<ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(contextBuffer.data());
    if (needed < sizeof *context ||
        !QueryActCtxW(0, handle_, nullptr, ActivationContextDetailedInformation, context, needed,
                      nullptr)) {
      return names;
    }
    for (DWORD index = 1; index <= context->ulAssemblyCount; ++index) {
      needed = 0;
      QueryActCtxW(0, handle_, &index, AssemblyDetailedInformationInActivationContext, nullptr, 0,
                   &needed);
      std::vector<char> buffer(needed);
      auto* assembly =
          reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
      if (needed >= sizeof *assembly &&
          QueryActCtxW(0, handle_, &index, AssemblyDetailedInformationInActivationContext, assembly,
                       needed, nullptr) &&
          assembly->lpAssemblyEncodedAssemblyIdentity != nullptr) {
        names.emplace_back(assembly->lpAssemblyEncodedAssemblyIdentity);
      }
    }
    return names;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD error_ = 0;
};

constexpr const wchar_t* kSettings2005 = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
constexpr const wchar_t* kSettings2016 = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";

bool BringsCommonControls6(const std::vector<std::wstring>& assemblies) {
  for (const std::wstring& identity : assemblies) {
    if (identity.find(L"Microsoft.Windows.Common-Controls") != std::wstring::npos &&
        identity.find(L"version=\"6.") != std::wstring::npos &&
        identity.find(L"publicKeyToken=\"6595b64144ccf1df\"") != std::wstring::npos) {
      return true;
    }
  }
  return false;
}

struct Program {
  std::string file;
  bool window;  // has the update window: Common Controls 6 too
};

TEST(Manifest, EveryProgramRunsAsInvokerDpiAwareAndTheWindowsWithCommonControls6) {
  // The programs beside this one; a window test program stands for every
  // program that makes the window (they share kbupdate's resources).
  const std::vector<Program> programs = {
      {"kbupdate.exe", true}, {"win32_window_tests.exe", true}, {"mcuprog.exe", false},
      {"hidlist.exe", false}, {"mtptool.exe", false},
  };
  for (const Program& program : programs) {
    SCOPED_TRACE(program.file);
    const ActivationContext context(ProgramDirectory() +
                                    std::wstring(program.file.begin(), program.file.end()));
    ASSERT_TRUE(context.Valid()) << "no usable manifest, error " << context.Error();
    EXPECT_TRUE(context.RunsAsInvoker());
    EXPECT_EQ(context.Setting(kSettings2005, L"dpiAware"), L"true/pm");
    EXPECT_EQ(context.Setting(kSettings2016, L"dpiAwareness"), L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(BringsCommonControls6(context.Assemblies()), program.window);
  }
}

}  // namespace
