// kbupdate's --help text, the same for the Qt and the Windows window.
#pragma once

inline constexpr const char* kKbupdateUsage =
    "usage: kbupdate [--help | --version]\n"
    "Opens the firmware update window for the USB keyboard with touchpad.\n"
    "\"Update\" restarts the keyboard into its boot loader and starts mcuprog with\n"
    "the firmware file USBKeyboard.MTP from kbupdate's own directory.\n";
