#include "BurnerProcess.h"

#if defined(_WIN32)
#include <windows.h>

#include <cstring>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <array>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#if defined(_WIN32)
namespace burnertest {
namespace {

// The tests name files in UTF-8; the burner gets them on its wide command
// line, as Explorer or a console would hand them over.
std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    wide.data(), static_cast<int>(wide.size()));
  wide.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return wide;
}

}  // namespace

BurnerProcess::BurnerProcess(const std::vector<std::string>& arguments,
                             const std::optional<std::string>& script) {
  std::filesystem::path program = MCUPROG_PATH;
  std::string environment;
  char* block = GetEnvironmentStringsA();
  for (char* e = block; e != nullptr && *e != 0; e += std::strlen(e) + 1) {
    if (std::strncmp(e, "ISPDLL_", 7) != 0) environment.append(e).push_back('\0');
  }
  FreeEnvironmentStringsA(block);
  if (script) {
    // The loader looks beside the program first: a copy of mcuprog.exe with
    // the scripted ISPDLL.dll next to it.
    std::filesystem::copy_file(MCUPROG_PATH, dir_ / "mcuprog.exe");
    std::filesystem::copy_file(std::filesystem::path(SCRIPTED_ISPDLL_DIR) / "ISPDLL.dll",
                               dir_ / "ISPDLL.dll");
    program = dir_ / "mcuprog.exe";
    std::ofstream(dir_ / "script") << *script;
    environment.append("ISPDLL_SCRIPT=" + (dir_ / "script").string()).push_back('\0');
    environment.append("ISPDLL_CALL_LOG=" + (dir_ / "calls").string()).push_back('\0');
  }
  environment.push_back('\0');
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
  for (const auto& a : arguments) commandLine += L" \"" + Wide(a) + L"\"";

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
  if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0))
    throw std::runtime_error("CreatePipe failed");
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  const std::wstring workDir = dir_.Path().wstring();
  // The environment block stays narrow (no CREATE_UNICODE_ENVIRONMENT).
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                      environment.data(), workDir.c_str(), &startup, &info)) {
    throw std::runtime_error("CreateProcess failed");
  }
  CloseHandle(info.hThread);
  CloseHandle(inRead);
  CloseHandle(outWrite);
  process_ = info.hProcess;
  input_ = inWrite;
  output_ = outRead;
}

BurnerProcess::~BurnerProcess() {
  if (process_ != nullptr) {
    TerminateProcess(process_, 137);
    WaitForSingleObject(process_, INFINITE);
    CloseHandle(process_);
  }
  if (input_ != nullptr) CloseHandle(input_);
  if (output_ != nullptr) CloseHandle(output_);
}

void BurnerProcess::WriteInput(const std::string& text) {
  DWORD written = 0;
  if (input_ != nullptr)
    WriteFile(input_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void BurnerProcess::CloseInput() {
  if (input_ != nullptr) CloseHandle(input_);
  input_ = nullptr;
}

std::optional<int> BurnerProcess::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::array<char, 4096> buffer{};
  auto drain = [&] {
    DWORD available = 0;
    while (PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      DWORD n = 0;
      if (!ReadFile(output_, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) ||
          n == 0)
        break;
      collected_.append(buffer.data(), n);
    }
  };
  for (;;) {
    drain();
    if (process_ != nullptr && WaitForSingleObject(process_, 5) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process_, &code);
      CloseHandle(process_);
      process_ = nullptr;
      DWORD n = 0;
      while (ReadFile(output_, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) &&
             n > 0)
        collected_.append(buffer.data(), n);
      return static_cast<int>(code);
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
  }
}

std::string BurnerProcess::Output() {
  std::string text;
  for (std::size_t i = 0; i < collected_.size(); ++i) {
    if (collected_[i] == '\r' && i + 1 < collected_.size() && collected_[i + 1] == '\n') continue;
    // A line end without its CR is not what a console program writes there.
    if (collected_[i] == '\n' && (i == 0 || collected_[i - 1] != '\r')) text += "<LF without CR>";
    text.push_back(collected_[i]);
  }
  return text;
}

#else
namespace burnertest {

BurnerProcess::BurnerProcess(const std::vector<std::string>& arguments,
                             const std::optional<std::string>& script) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("LD_LIBRARY_PATH=", 0) == 0 || entry.rfind("ISPDLL_", 0) == 0) continue;
    environment.push_back(entry);
  }
  if (script) {
    std::ofstream(dir_ / "script") << *script;
    environment.push_back(std::string("LD_LIBRARY_PATH=") + SCRIPTED_ISPDLL_DIR);
    environment.push_back("ISPDLL_SCRIPT=" + (dir_ / "script").string());
    environment.push_back("ISPDLL_CALL_LOG=" + (dir_ / "calls").string());
  }
  std::vector<std::string> argv{MCUPROG_PATH};
  argv.insert(argv.end(), arguments.begin(), arguments.end());

  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  std::vector<char*> argPointers;
  for (auto& a : argv) argPointers.push_back(a.data());
  argPointers.push_back(nullptr);
  std::vector<char*> envPointers;
  for (auto& e : environment) envPointers.push_back(e.data());
  envPointers.push_back(nullptr);
  const std::string workDir = dir_.Path().string();

  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    if (chdir(workDir.c_str()) != 0) _exit(126);
    execve(argPointers[0], argPointers.data(), envPointers.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  output_ = out[0];
  signal(SIGPIPE, SIG_IGN);
}

BurnerProcess::~BurnerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (input_ >= 0) close(input_);
  if (output_ >= 0) close(output_);
}

void BurnerProcess::WriteInput(const std::string& text) {
  if (input_ >= 0 && write(input_, text.data(), text.size()) < 0) {
    // The burner may already have ended; its output tells.
  }
}

void BurnerProcess::CloseInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

std::optional<int> BurnerProcess::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::array<char, 4096> buffer{};
  for (;;) {
    // Drain the output as it comes, so that a long transcript cannot block
    // the burner on a full pipe.
    pollfd p{output_, POLLIN, 0};
    while (output_ >= 0 && poll(&p, 1, 0) > 0) {
      const ssize_t n = read(output_, buffer.data(), buffer.size());
      if (n <= 0) break;
      collected_.append(buffer.data(), static_cast<std::size_t>(n));
    }
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      ssize_t n = 0;
      while ((n = read(output_, buffer.data(), buffer.size())) > 0)
        collected_.append(buffer.data(), static_cast<std::size_t>(n));
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string BurnerProcess::Output() {
  return collected_;
}

#endif

std::vector<std::string> BurnerProcess::Calls() const {
  std::vector<std::string> calls;
  std::ifstream in(dir_ / "calls");
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}

Finished RunBurner(const std::vector<std::string>& arguments, const std::string& script,
                   const std::string& input) {
  BurnerProcess process(arguments, script);
  process.WriteInput(input);
  process.CloseInput();
  Finished f;
  const auto code = process.Wait(std::chrono::seconds(60));
  f.exitCode = code.value_or(-1);
  f.output = process.Output();
  f.calls = process.Calls();
  return f;
}

}  // namespace burnertest
