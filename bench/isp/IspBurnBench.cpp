// A full 240-page burn (erase, program, verify with the integrity record
// written and checked, start) through ISPDLL against the emulated boot
// loader whose link carries one 64-byte report per millisecond each way.
// Prints the wall time, the reports each way and the ratio to the time the
// link needs to carry the program image once plus the verification pass.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/isp/FullImage.h"
#include "emulator/BootLoaderModel.h"
#include "emulator/virtual/VirtualHidBus.h"
#include "isp/IspDll.h"
#include "isp/IspProtocol.h"
#include "isp/MtpFormat.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace proto = isp::protocol;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

bool RunOnce(const std::filesystem::path& file, std::chrono::microseconds perErasedPage) {
  constexpr auto kPerReport = std::chrono::microseconds(1000);
  hidplatform::VirtualHidBus bus;
  hidplatform::ScopedBackend scoped(bus);
  auto model = std::make_shared<emulator::BootLoaderModel>();
  model->SetTiming({kPerReport, perErasedPage});
  bus.Plug(model);

  const std::u16string name = file.u16string();
  const std::uint8_t* blocks[3] = {};
  std::uint32_t sizes[3] = {};
  double step[6] = {};
  const auto begin = Clock::now();
  auto mark = Clock::now();
  auto lap = [&mark](double& into) {
    const auto now = Clock::now();
    into = Ms(now - mark);
    mark = now;
  };
  bool ok = ConnectToBootloader() == 0;
  lap(step[0]);
  ok = ok && LoadFile(reinterpret_cast<const ISPDLL_CHAR*>(name.c_str()), &blocks[0], &sizes[0],
                      &blocks[1], &sizes[1], &blocks[2], &sizes[2]) == 0;
  lap(step[1]);
  ok = ok && EraseByPage(0, 240, 0) == 0;
  lap(step[2]);
  ok = ok && Program(0) == 0;
  lap(step[3]);
  ok = ok && VerifyByPage(0, 240, 0) == 0;
  lap(step[4]);
  // START itself checks the record: it refuses without a valid one.
  const bool recordValid = ok && model->HoldsValidImage();
  ok = ok && ExecuteProgramFrom(2) == 0;
  lap(step[5]);
  const double total = Ms(Clock::now() - begin);
  SwitchToUserProgram();
  if (!ok) {
    std::printf("burn FAILED\n");
    return false;
  }

  const double reportMs = std::chrono::duration<double, std::milli>(kPerReport).count();
  const std::uint32_t imageReports = (sizes[0] + 63) / 64;
  const std::uint32_t verifyExchanges =
      (proto::kPageCount + proto::kMaxVerifyPages - 1) / proto::kMaxVerifyPages;
  // The image once at the link's full rate, and the verification pass: each
  // verify request and its answer cross the link one after the other.
  const double reference = imageReports * reportMs + verifyExchanges * 2 * reportMs;
  std::printf("erase time per page       %8.3f ms\n",
              std::chrono::duration<double, std::milli>(perErasedPage).count());
  std::printf("program image             %8u bytes (%u reports of 64 bytes)\n", sizes[0],
              imageReports);
  std::printf("connect / load            %8.1f / %.1f ms\n", step[0], step[1]);
  std::printf("erase / program / verify  %8.1f / %.1f / %.1f ms (verify with the record)\n",
              step[2], step[3], step[4]);
  std::printf("start                     %8.1f ms\n", step[5]);
  std::printf("wall time, whole burn     %8.1f ms\n", total);
  std::printf("reports host -> device    %8llu\n",
              static_cast<unsigned long long>(model->ReportsReceived()));
  std::printf("reports device -> host    %8llu\n",
              static_cast<unsigned long long>(model->AnswersSent()));
  std::printf("link reference            %8.1f ms (image once + %u verify exchanges)\n", reference,
              verifyExchanges);
  std::printf("record valid after burn   %8s\n", recordValid ? "yes" : "NO");
  std::printf("ratio wall / reference    %8.3f (target <= 1.10)\n\n", total / reference);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Optional: the erase time per page in microseconds for a second run.
  const long eraseUs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 4000;
  const auto dir = std::filesystem::temp_directory_path() / "isp-bench";
  std::filesystem::create_directories(dir);
  // Version 0201, stored low byte first.
  const isp::MtpImage image = bench::FullImage(0x0201);
  const auto file = dir / "bench.MTP";
  const auto bytes = isp::SerializeMtp(image);
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));

  std::printf("Full burn through ISPDLL, emulated link at 1 report/ms each way\n\n");
  bool ok = RunOnce(file, std::chrono::microseconds(0));
  std::printf("The same with the flash's erase time (not part of the link ratio):\n\n");
  ok = RunOnce(file, std::chrono::microseconds(eraseUs)) && ok;
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
