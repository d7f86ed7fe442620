// Devices for the window's tests, built from the plain device model: the
// keyboard in application mode (one model with one top-level collection per
// interface), its boot loader, and unrelated HID devices.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/SimpleDeviceModel.h"

namespace apptest {

inline constexpr std::uint16_t kKeyboardVid = 0x2C7A;
inline constexpr std::uint16_t kKeyboardPid = 0x5B1D;
inline constexpr std::uint16_t kBootLoaderVid = 0x04D9;
inline constexpr std::uint16_t kBootLoaderPid = 0x8022;
inline constexpr char16_t kKeyboardProduct[] = u"USB Keyboard with Touchpad";

// The position of the command collection (report id 9, 64-byte output
// report) among the keyboard's interfaces.
inline constexpr std::size_t kCommandInterface = 3;

// The keyboard in application mode with the given number of interfaces
// (top-level collections). The command collection is present when
// interfaces > kCommandInterface; the others take 1-byte output reports.
std::shared_ptr<emulator::SimpleDeviceModel> MakeKeyboard(std::size_t interfaces,
                                                          std::uint16_t version = 0x0105);

// What interface `interface` of MakeKeyboard's keyboard receives for a
// command: report id 9, the two command bytes and zeros, as long as that
// interface's output report (the other interfaces get only 09 and the code).
std::vector<std::uint8_t> CommandReportFor(std::size_t interface, std::uint8_t code,
                                           std::uint8_t argument);

// A keyboard whose interfaces have exactly the given output report data
// sizes (report id 9, so each length is size + 1).
std::shared_ptr<emulator::SimpleDeviceModel> MakeKeyboardWithOutputSizes(
    const std::vector<std::uint16_t>& outputSizes);

std::shared_ptr<emulator::SimpleDeviceModel> MakeBootLoader(std::uint16_t version = 0x0100);

// Some other HID device (a mouse, say).
std::shared_ptr<emulator::SimpleDeviceModel> MakeOtherDevice(std::uint16_t vid = 0x046D,
                                                             std::uint16_t pid = 0xC077);

// Lets the keyboard restart into the boot loader shortly after it got the
// update command, as the real one does: after the write returned, on the
// HID layer's main loop, so that every interface still receives the command.
void RestartIntoBootLoaderOnUpdate(const std::shared_ptr<emulator::SimpleDeviceModel>& keyboard,
                                   std::shared_ptr<emulator::DeviceModel> bootLoader);

}  // namespace apptest
