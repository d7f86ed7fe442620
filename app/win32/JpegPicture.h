// The picture of Image1: a JPEG embedded in the program's resources, decoded
// by the platform's imaging component (WIC) into a bitmap GDI can show.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "app/win32/GdiObjects.h"

namespace win32 {

// Empty when the data is no decodable image (or COM is not initialised on
// this thread). At a dpi other than 96 the picture is resampled by WIC to
// its size times dpi/96, so that the system never stretches it.
GdiObject<HBITMAP> DecodeJpeg(const void* data, std::size_t size, int dpi = 96);

// The RCDATA resource that holds the front end's image of that name
// ("Image1.jpg" is IMAGE1_JPG in the program's resources).
std::wstring ResourceNameOf(std::string_view image);

// Decodes the named image from the program's resources at dpi; empty when
// missing.
GdiObject<HBITMAP> LoadJpegResource(std::string_view image, int dpi = 96);

}  // namespace win32
