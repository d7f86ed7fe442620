#include "app/win32/ShellBurnerLauncher.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/SystemErrorText.h"
#include "app/win32/Utf16.h"

namespace win32 {

std::wstring QuotedArgument(std::wstring_view argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      // Each backslash before a quotation mark is doubled, and the mark
      // itself escaped.
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // Backslashes before the closing mark are doubled too.
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring ProgramPathIn(std::string_view directory, std::string_view program) {
  std::wstring path = Utf16FromUtf8(directory);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path + Utf16FromUtf8(program);
}

namespace {

// The system error code of a failed ShellExecute's result.
DWORD ErrorOfShellResult(INT_PTR result) {
  switch (result) {
    case 0:
      return ERROR_OUTOFMEMORY;
    case SE_ERR_SHARE:
      return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
      return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
      return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND:
      return ERROR_DLL_NOT_FOUND;
    default:
      // The others are the system's codes of the same meaning (file or path
      // not found, access denied, bad format).
      return static_cast<DWORD>(result);
  }
}

}  // namespace

LaunchResult ShellBurnerLauncher::Launch(const std::string& program, const std::string& argument) {
  const std::wstring file = ProgramPathIn(directory_, program);
  const std::wstring parameters = QuotedArgument(Utf16FromUtf8(argument));
  SetLastError(ERROR_SUCCESS);
  // No working directory: the burner runs in the current one, as kbupdate.
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", file.c_str(), parameters.c_str(), nullptr, SW_SHOWDEFAULT));
  if (result > 32) return {true, {}};
  DWORD code = GetLastError();
  if (code == ERROR_SUCCESS) code = ErrorOfShellResult(result);
  return {false, ErrorLogText(code)};
}

}  // namespace win32
