// Runs the real mcuprog binary with the scripted ISPDLL: its arguments, a
// script, its standard input; collects standard output byte for byte, the exit
// code and the library calls it made.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace burnertest {

class BurnerProcess {
 public:
  // script: the scripted library's lines; empty optional: use the real
  // ISPDLL (no LD_LIBRARY_PATH override). On Windows the scripted library is
  // found beside a copy of mcuprog.exe in the test's folder.
  BurnerProcess(const std::vector<std::string>& arguments,
                const std::optional<std::string>& script);
  ~BurnerProcess();
  BurnerProcess(const BurnerProcess&) = delete;
  BurnerProcess& operator=(const BurnerProcess&) = delete;

  void WriteInput(const std::string& text);
  void CloseInput();
  // The exit code, or nothing when the process is still running after the
  // timeout.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  // Everything written to standard output (after Wait returned a code). The
  // console's CR LF line ends on Windows read as LF; a bare LF there is left
  // bare, so a missing CR shows in the comparison.
  std::string Output();
  std::vector<std::string> Calls() const;

 private:
  testsupport::TempDir dir_{"burner-test"};
#if defined(_WIN32)
  void* process_ = nullptr;
  void* input_ = nullptr;
  void* output_ = nullptr;
#else
  int pid_ = -1;
  int input_ = -1;
  int output_ = -1;
#endif
  std::string collected_;
};

struct Finished {
  int exitCode = -1;
  std::string output;
  std::vector<std::string> calls;
};

// Runs to the end with the given input, closed afterwards.
Finished RunBurner(const std::vector<std::string>& arguments, const std::string& script,
                   const std::string& input = "");

}  // namespace burnertest
