#include "BurnerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

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
