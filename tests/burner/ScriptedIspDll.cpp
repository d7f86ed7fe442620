// A stand-in ISPDLL for testing the real mcuprog binary. It is built under
// the same name and put first on LD_LIBRARY_PATH. What each operation returns
// and which progress values follow it come from a script file:
//
//   ISPDLL_SCRIPT=path   lines "<Operation> <result> [progress ...]", and for
//                        LoadFile "LoadFile <result> <programSize> <optionSize>"
//                        followed by optional "progress ..." values. An
//                        operation without a line returns 0 and progress 100.
//   ISPDLL_CALL_LOG=path every call except GetTransProgress is appended as
//                        one line with its arguments.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "isp/IspDll.h"

namespace {

struct Step {
  std::int32_t result = 0;
  std::vector<std::int64_t> numbers;  // LoadFile sizes
  std::vector<std::int32_t> progress{100};
};

struct Script {
  std::map<std::string, Step> steps;
  std::vector<std::int32_t> progress;  // of the operation called last
  std::size_t next = 0;
};

Script& TheScript() {
  static Script script = [] {
    Script s;
    const char* path = std::getenv("ISPDLL_SCRIPT");
    if (path == nullptr) return s;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string name;
      if (!(words >> name) || name[0] == '#') continue;
      Step step;
      words >> step.result;
      std::string word;
      bool inProgress = false;
      std::vector<std::int32_t> progress;
      while (words >> word) {
        if (word == "progress") {
          inProgress = true;
        } else if (inProgress) {
          progress.push_back(static_cast<std::int32_t>(std::stol(word)));
        } else {
          step.numbers.push_back(std::stoll(word));
        }
      }
      if (inProgress) step.progress = progress;
      s.steps[name] = step;
    }
    return s;
  }();
  return script;
}

void Log(const std::string& line) {
  const char* path = std::getenv("ISPDLL_CALL_LOG");
  if (path == nullptr) return;
  std::ofstream out(path, std::ios::app);
  out << line << '\n';
}

std::int32_t Call(const std::string& name, const std::string& arguments) {
  Log(arguments.empty() ? name : name + " " + arguments);
  Script& s = TheScript();
  const Step& step = s.steps[name];
  s.progress = step.progress;
  s.next = 0;
  return step.result;
}

// ASCII as it is, every other UTF-16 unit as \uXXXX: the log shows exactly
// what arrived.
std::string Narrow(const char16_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) {
    if (*text < 0x80) {
      out += static_cast<char>(*text);
    } else {
      char unit[8];
      std::snprintf(unit, sizeof unit, "\\u%04X", static_cast<unsigned>(*text));
      out += unit;
    }
  }
  return out;
}

}  // namespace

extern "C" {

std::int32_t ConnectToBootloader() {
  return Call("ConnectToBootloader", "");
}

std::int32_t LoadFile(const ISPDLL_CHAR* fileName, const std::uint8_t** program,
                      std::uint32_t* programSize, const std::uint8_t** option,
                      std::uint32_t* optionSize, const std::uint8_t** third,
                      std::uint32_t* thirdSize) {
  const std::int32_t result = Call("LoadFile", Narrow(reinterpret_cast<const char16_t*>(fileName)));
  const Step& step = TheScript().steps["LoadFile"];
  static const std::uint8_t kBytes[4] = {};
  *program = kBytes;
  *option = kBytes;
  *third = nullptr;
  *programSize = step.numbers.size() > 0 ? static_cast<std::uint32_t>(step.numbers[0]) : 0;
  *optionSize = step.numbers.size() > 1 ? static_cast<std::uint32_t>(step.numbers[1]) : 0;
  *thirdSize = 0;
  return result;
}

std::int32_t EraseByPage(std::int32_t firstPage, std::int32_t pageCount, std::int32_t area) {
  return Call("EraseByPage", std::to_string(firstPage) + " " + std::to_string(pageCount) + " " +
                                 std::to_string(area));
}

std::int32_t Program(std::int32_t area) {
  return Call("Program", std::to_string(area));
}

std::int32_t VerifyByPage(std::int32_t firstPage, std::int32_t pageCount, std::int32_t area) {
  return Call("VerifyByPage", std::to_string(firstPage) + " " + std::to_string(pageCount) + " " +
                                  std::to_string(area));
}

std::int32_t ExecuteProgramFrom(std::int32_t what) {
  return Call("ExecuteProgramFrom", std::to_string(what));
}

std::int32_t SwitchToUserProgram() {
  return Call("SwitchToUserProgram", "");
}

std::int32_t GetTransProgress() {
  Script& s = TheScript();
  // Past the end of its list a step counts as finished, so that a mistaken
  // script cannot hang the test.
  if (s.next >= s.progress.size()) return 100;
  return s.progress[s.next++];
}

}  // extern "C"
