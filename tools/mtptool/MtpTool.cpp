// mtptool: packs a raw firmware image into an .MTP file and prints/checks an
// existing one, for the people who build the keyboard's firmware.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "isp/ByteOrder.h"
#include "isp/Crc32.h"
#include "isp/IspProtocol.h"
#include "isp/MtpFormat.h"
#include "version/StandardOptions.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage:\n"
    "  mtptool pack [options] PROGRAM.bin OUT.MTP\n"
    "      --version HEX      firmware version (BCD, e.g. 0102 for 2.01) into option bytes 0..1\n"
    "      --option FILE      raw option bytes (at most 32; --version overrides bytes 0..1)\n"
    "      --note TEXT        a note carried in the file, never written to the device\n"
    "      --target HEX       target identifier (default 2C7A5B1D)\n"
    "      --page-size N      page size in bytes (default 256)\n"
    "      --page-count N     code pages (default 240)\n"
    "  mtptool info FILE.MTP  prints the header and blocks; exit 1 when the file is damaged\n"
    "                         or fits no known target\n"
    "  mtptool sample-image OUT.bin [SIZE]\n"
    "                         writes a deterministic test-pattern image (default 60000 bytes)\n"
    "  mtptool --help | --version\n";

void PrintUsage(std::FILE* to) {
  std::fputs(kUsage, to);
}

std::optional<unsigned long> ParseNumber(const char* text, int base, unsigned long limit) {
  if (text == nullptr || *text == 0) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, base);
  if (errno != 0 || *end != 0 || value > limit || text[0] == '-') return std::nullopt;
  return value;
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  // Written beside the target and renamed, so a failure never leaves half a
  // file under the final name.
  const std::string temporary = path + ".tmp";
  {
    struct Closer {
      void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(temporary.c_str(), "wb"));
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (!written || std::fflush(file.get()) != 0) {
      file.reset();
      std::remove(temporary.c_str());
      return false;
    }
  }
  // std::rename does not replace an existing file on every platform.
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int Pack(int argc, char** argv) {
  isp::MtpImage image;
  image.targetId = isp::protocol::kTargetId;
  image.pageSize = isp::protocol::kPageSize;
  image.pageCount = isp::protocol::kPageCount;
  std::optional<unsigned long> version;
  std::string optionPath;
  std::vector<std::string> positional;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto bad = [&arg]() {
      std::fprintf(stderr, "mtptool: bad or missing value for %s\n", arg.c_str());
      return kExitUsage;
    };
    if (arg == "--version") {
      if (!(version = ParseNumber(value, 16, 0xFFFF))) return bad();
      ++i;
    } else if (arg == "--option") {
      if (value == nullptr) return bad();
      optionPath = value;
      ++i;
    } else if (arg == "--note") {
      if (value == nullptr) return bad();
      image.note.emplace(value, value + std::strlen(value));
      ++i;
    } else if (arg == "--target") {
      const auto v = ParseNumber(value, 16, 0xFFFFFFFFUL);
      if (!v) return bad();
      image.targetId = static_cast<std::uint32_t>(*v);
      ++i;
    } else if (arg == "--page-size" || arg == "--page-count") {
      const auto v = ParseNumber(value, 10, 0xFFFF);
      if (!v || *v == 0) return bad();
      (arg == "--page-size" ? image.pageSize : image.pageCount) = static_cast<std::uint16_t>(*v);
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "mtptool: unknown option %s\n", arg.c_str());
      return kExitUsage;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  if (!isp::ReadWholeFile(positional[0], image.program)) {
    std::fprintf(stderr, "mtptool: cannot read %s\n", positional[0].c_str());
    return kExitFailure;
  }
  if (!optionPath.empty() && !isp::ReadWholeFile(optionPath, image.option)) {
    std::fprintf(stderr, "mtptool: cannot read %s\n", optionPath.c_str());
    return kExitFailure;
  }
  if (version) {
    if (image.option.size() < 2) image.option.resize(2, 0xFF);
    isp::PutU16(image.option, 0, static_cast<std::uint32_t>(*version));
  }
  const std::size_t capacity = static_cast<std::size_t>(image.pageSize) * image.pageCount;
  if (image.program.size() < image.pageSize || image.program.size() > isp::kMtpMaxBlockSize ||
      image.program.size() > capacity) {
    std::fprintf(stderr,
                 "mtptool: the program image has %zu bytes; it must have %u to %zu bytes "
                 "(at least one page; %u pages of %u bytes, at most 65535)\n",
                 image.program.size(), image.pageSize,
                 std::min<std::size_t>(capacity, isp::kMtpMaxBlockSize), image.pageCount,
                 image.pageSize);
    return kExitFailure;
  }
  if (image.option.size() > isp::protocol::kOptionSize) {
    std::fprintf(stderr, "mtptool: the option block has %zu bytes; at most %u fit\n",
                 image.option.size(), isp::protocol::kOptionSize);
    return kExitFailure;
  }
  if (image.note && image.note->size() > isp::kMtpMaxBlockSize) {
    std::fprintf(stderr, "mtptool: the note is longer than 65535 bytes\n");
    return kExitFailure;
  }
  const std::vector<std::uint8_t> file = isp::SerializeMtp(image);
  // What a reader refuses is not packed: no version, an erased entry.
  if (const isp::MtpError error = isp::ParseMtp(file).error; error != isp::MtpError::kOk) {
    std::fprintf(stderr, "mtptool: cannot pack: %s%s\n", isp::MtpErrorText(error),
                 error == isp::MtpError::kNoVersion ? " (give --version)" : "");
    return kExitFailure;
  }
  if (!WriteFileAtomically(positional[1], file)) {
    std::fprintf(stderr, "mtptool: cannot write %s\n", positional[1].c_str());
    return kExitFailure;
  }
  std::printf("packed %s: program %zu bytes, option %zu bytes%s\n", positional[1].c_str(),
              image.program.size(), image.option.size(), image.note ? ", with a note" : "");
  return kExitOk;
}

int Info(int argc, char** argv) {
  if (argc != 3) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const std::string path = argv[2];
  std::vector<std::uint8_t> bytes;
  if (!isp::ReadWholeFile(path, bytes)) {
    std::fprintf(stderr, "mtptool: cannot read %s\n", path.c_str());
    return kExitFailure;
  }
  const isp::MtpParseResult parsed = isp::ParseMtp(bytes);
  if (parsed.error != isp::MtpError::kOk) {
    std::printf("file:          %s (%zu bytes)\n", path.c_str(), bytes.size());
    std::printf("status:        DAMAGED: %s\n", isp::MtpErrorText(parsed.error));
    return kExitFailure;
  }
  const isp::MtpImage& image = parsed.image;
  std::printf("file:          %s (%zu bytes)\n", path.c_str(), bytes.size());
  std::printf("format:        %u\n", static_cast<unsigned>(isp::kMtpFormatVersion));
  std::printf("target:        %08" PRIX32 "\n", image.targetId);
  std::printf("pages:         %u of %u bytes\n", image.pageCount, image.pageSize);
  std::printf("program block: %zu bytes, CRC-32 %08" PRIX32 " ok\n", image.program.size(),
              isp::Crc32(image.program));
  std::printf("option block:  %zu bytes, CRC-32 %08" PRIX32 " ok\n", image.option.size(),
              isp::Crc32(image.option));
  if (image.option.size() >= 2)
    std::printf("version:       %X.%02X\n", image.option[1], image.option[0]);
  if (image.note) {
    std::string text(image.note->begin(), image.note->end());
    for (char& c : text)
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '.';
    std::printf("note block:    %zu bytes: %s\n", image.note->size(), text.c_str());
  } else {
    std::printf("note block:    none\n");
  }
  const std::string misfit =
      isp::CheckMtpFitsTarget(image, isp::protocol::kTargetId, isp::protocol::kPageSize,
                              isp::protocol::kPageCount, isp::protocol::kOptionSize);
  if (!misfit.empty()) {
    std::printf("status:        FITS NO KNOWN TARGET: %s\n", misfit.c_str());
    return kExitFailure;
  }
  std::printf("status:        ok\n");
  return kExitOk;
}

int SampleImage(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  std::size_t size = 60000;
  if (argc == 4) {
    const auto v = ParseNumber(argv[3], 10, isp::kMtpMaxBlockSize);
    if (!v || *v == 0) {
      std::fprintf(stderr, "mtptool: bad size %s\n", argv[3]);
      return kExitUsage;
    }
    size = *v;
  }
  std::vector<std::uint8_t> image(size);
  std::uint32_t state = 0x2C7A5B1D;
  for (auto& b : image) {
    state = state * 1664525U + 1013904223U;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  if (!WriteFileAtomically(argv[2], image)) {
    std::fprintf(stderr, "mtptool: cannot write %s\n", argv[2]);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "pack") return Pack(argc, argv);
  if (command == "info") return Info(argc, argv);
  if (command == "sample-image") return SampleImage(argc, argv);
  if (argc == 2 && kbversion::AnswerStandardOption(command, "mtptool", kUsage)) return kExitOk;
  if (command == "-h" || command == "help") {
    PrintUsage(stdout);
    return kExitOk;
  }
  PrintUsage(stderr);
  return kExitUsage;
}
