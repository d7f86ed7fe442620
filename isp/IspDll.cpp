// The exported operations: one connection and one loaded image per process,
// used from one thread; only the progress is read from elsewhere.
#include "isp/IspDll.h"

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "base/TextEncoding.h"
#include "hid/platform/HidBackend.h"
#include "isp/FirmwareFile.h"
#include "isp/IspDllInternals.h"
#include "isp/IspSession.h"
#include "isp/MtpFormat.h"
#include "isp/PlatformBinding.h"

namespace {

struct LibraryState {
  std::atomic<int> progress{100};
  isp::LinkSettings settings;
  // Declared before the session: the session's handles close first.
  std::unique_ptr<isp::PlatformBinding> binding;
  std::unique_ptr<isp::IspSession> session;
  std::optional<isp::MtpImage> image;
};

LibraryState& State() {
  // At exit the state's session closes its handles on the platform backend,
  // so the backend must be destroyed after the state: construct it first.
  static_cast<void>(hidplatform::CurrentBackend());
  static LibraryState state;
  return state;
}

// Marks the operation finished, whatever its outcome, so that a caller
// polling the progress always sees it reach 100.
struct ProgressEnd {
  ~ProgressEnd() { State().progress.store(100); }
};

bool Ready() {
  return State().session && State().session->Connected();
}

template <typename T>
void SetOut(T* slot, T value) {
  if (slot != nullptr) *slot = value;
}

}  // namespace

namespace isp {

void SetLinkSettingsForTesting(const LinkSettings& settings) {
  State().settings = settings;
}

std::uint64_t ReportsSentOnConnection() {
  return State().session ? State().session->ReportsSent() : 0;
}

}  // namespace isp

extern "C" {

std::int32_t ConnectToBootloader() {
  LibraryState& s = State();
  s.progress.store(0);
  ProgressEnd end;
  // A new connection replaces the old one.
  s.session.reset();
  s.binding.reset();
  auto binding = std::make_unique<isp::PlatformBinding>();
  if (!binding->Bound()) return -1;
  auto session =
      std::make_unique<isp::IspSession>(hidplatform::CurrentBackend(), s.settings, s.progress);
  if (!session->Connect()) return -1;
  s.binding = std::move(binding);
  s.session = std::move(session);
  return 0;
}

std::int32_t LoadFile(const ISPDLL_CHAR* fileName, const std::uint8_t** program,
                      std::uint32_t* programSize, const std::uint8_t** option,
                      std::uint32_t* optionSize, const std::uint8_t** third,
                      std::uint32_t* thirdSize) {
  LibraryState& s = State();
  s.progress.store(0);
  ProgressEnd end;
  // Whatever happens, the previous image is gone: a failed load must not
  // leave an older file to be burned.
  s.image.reset();
  SetOut<const std::uint8_t*>(program, nullptr);
  SetOut<const std::uint8_t*>(option, nullptr);
  SetOut<const std::uint8_t*>(third, nullptr);
  SetOut<std::uint32_t>(programSize, 0);
  SetOut<std::uint32_t>(optionSize, 0);
  SetOut<std::uint32_t>(thirdSize, 0);
  if (fileName == nullptr || !Ready()) return -1;
#if defined(_WIN32)
  const auto path = hidplatform::Utf16ToUtf8(reinterpret_cast<const char16_t*>(fileName));
#else
  // Names are bytes here; mcuprog passes any that is not UTF-8 escaped.
  const auto path = hidplatform::Utf16ToFileName(fileName);
#endif
  if (!path || path->empty()) return -1;
  isp::MtpFileResult parsed = isp::ReadMtpFile(*path);
  if (!parsed.error.empty()) return -1;
  if (!s.session->Accepts(parsed.image)) return -1;
  s.image = std::move(parsed.image);
  const isp::MtpImage& image = *s.image;
  SetOut(program, image.program.data());
  SetOut(programSize, static_cast<std::uint32_t>(image.program.size()));
  SetOut(option, image.option.empty() ? nullptr : image.option.data());
  SetOut(optionSize, static_cast<std::uint32_t>(image.option.size()));
  if (image.note) {
    // A present but empty note still has an address, unlike a missing one.
    static const std::uint8_t kEmpty = 0;
    SetOut(third, image.note->empty() ? &kEmpty : image.note->data());
    SetOut(thirdSize, static_cast<std::uint32_t>(image.note->size()));
  }
  return 0;
}

std::int32_t EraseByPage(std::int32_t firstPage, std::int32_t pageCount, std::int32_t area) {
  LibraryState& s = State();
  s.progress.store(0);
  ProgressEnd end;
  if (area != 0 || firstPage < 0 || pageCount <= 0 || !Ready()) return -1;
  return s.session->Erase(static_cast<std::uint32_t>(firstPage),
                          static_cast<std::uint32_t>(pageCount))
             ? 0
             : -1;
}

std::int32_t Program(std::int32_t area) {
  LibraryState& s = State();
  s.progress.store(0);
  ProgressEnd end;
  if (area != 0 || !s.image || !Ready()) return -1;
  return s.session->Program(*s.image) ? 0 : -1;
}

std::int32_t VerifyByPage(std::int32_t firstPage, std::int32_t pageCount, std::int32_t area) {
  LibraryState& s = State();
  s.progress.store(0);
  ProgressEnd end;
  if (area != 0 || firstPage < 0 || pageCount <= 0 || !s.image || !Ready()) return -1;
  switch (s.session->Verify(*s.image, static_cast<std::uint32_t>(firstPage),
                            static_cast<std::uint32_t>(pageCount))) {
    case isp::VerifyOutcome::kMatch:
      return 0;
    case isp::VerifyOutcome::kMismatch:
      return 1;
    case isp::VerifyOutcome::kFailed:
      break;
  }
  return -1;
}

std::int32_t ExecuteProgramFrom(std::int32_t what) {
  LibraryState& s = State();
  s.progress.store(0);
  ProgressEnd end;
  if (what != isp::protocol::kStartUserFirmware || !Ready()) return -1;
  return s.session->StartUserFirmware() ? 0 : -1;
}

std::int32_t SwitchToUserProgram() {
  LibraryState& s = State();
  ProgressEnd end;
  // The boot loader has left (or is leaving) the bus; drop the connection.
  s.session.reset();
  s.binding.reset();
  return 0;
}

std::int32_t GetTransProgress() {
  return State().progress.load();
}

}  // extern "C"
