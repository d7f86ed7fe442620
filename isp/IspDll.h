// The C interface of ISPDLL, as mcuprog imports it. Every result is a signed
// 32-bit value; -1 means failure (VerifyByPage: 0 match, 1 mismatch, other
// values failure).
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define ISPDLL_CHAR wchar_t
#if defined(ISPDLL_BUILDING)
#define ISPDLL_API __declspec(dllexport)
#else
#define ISPDLL_API __declspec(dllimport)
#endif
#else
#define ISPDLL_CHAR char16_t
#define ISPDLL_API __attribute__((visibility("default")))
#endif

extern "C" {

// Finds the boot loader (04D9/8022) and identifies it. 0 when connected.
ISPDLL_API std::int32_t ConnectToBootloader();

// Reads and checks a whole .MTP file against the connected boot loader (so it
// needs ConnectToBootloader first). On success the block addresses and sizes
// are set; the memory stays the library's and is valid until the next
// LoadFile. The sizes are written as full 32-bit values of at
// most 65535; a missing third block gives a null address and size 0. On -1
// all outputs are null / 0 and no image is held any more. Only a regular file
// is read. The name is UTF-16; on Linux, where names are bytes, each byte of a
// name that is not valid UTF-8 travels as the lone surrogate U+DC00 + byte
// (0x80 to 0xFF), so every name reaches open() unchanged.
ISPDLL_API std::int32_t LoadFile(const ISPDLL_CHAR* fileName, const std::uint8_t** program,
                                 std::uint32_t* programSize, const std::uint8_t** option,
                                 std::uint32_t* optionSize, const std::uint8_t** third,
                                 std::uint32_t* thirdSize);

// Erases pageCount code pages from firstPage on; area 0 is the code area.
ISPDLL_API std::int32_t EraseByPage(std::int32_t firstPage, std::int32_t pageCount,
                                    std::int32_t area);

// Writes the loaded image (program block from page 0, then the option
// block); area 0 is the code area.
ISPDLL_API std::int32_t Program(std::int32_t area);

// Compares the pages with the loaded image: 0 match, 1 mismatch, -1 failure.
ISPDLL_API std::int32_t VerifyByPage(std::int32_t firstPage, std::int32_t pageCount,
                                     std::int32_t area);

// Tells the boot loader what to run; 2 is the user firmware.
ISPDLL_API std::int32_t ExecuteProgramFrom(std::int32_t what);

// Ends the connection after the user firmware was started. Returns 0.
ISPDLL_API std::int32_t SwitchToUserProgram();

// Per cent done of the operation called last; 100 once it has ended.
ISPDLL_API std::int32_t GetTransProgress();

}  // extern "C"
